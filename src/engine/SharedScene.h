#pragma once

#include "engine/SceneLock.h"
#include "layers/Scene.h"

#include <chrono>
#include <memory>
#include <new>
#include <thread>
#include <utility>
#include <vector>

namespace kavelin {

// The scene with the lock that commands and the frame path take to reach it. Both hold it only
// for small, bounded work: reading and writing fields, swapping pictures made beforehand.
class SharedScene {
public:
    // A command's hold on the scene. What the command takes out of the scene (replaced pictures,
    // released layers) is retired and destroyed only after the lock is let go.
    class Access {
    public:
        explicit Access(SharedScene& shared) : shared_(&shared) { shared_->lock_.lockForCommand(); }
        ~Access() { release(); }
        Access(const Access&) = delete;
        Access& operator=(const Access&) = delete;

        Scene* operator->() const { return &shared_->scene_; }
        Scene& operator*() const { return shared_->scene_; }

        // Without the memory to keep it for later, the garbage is let go at once, under the
        // lock: slower, but the command's change stands as made.
        template <typename T>
        void retire(T&& garbage) {
            try {
                retired_.push_back(std::make_shared<std::decay_t<T>>(std::forward<T>(garbage)));
            } catch (const std::bad_alloc&) {
            }
        }
        // Pictures are let go a few at a time: giving back the memory of a thousand frames
        // at once would keep the machine's memory system busy just when a frame is due.
        void retire(LayerFrames&& frames) {
            try {
                retiredFrames_.push_back(std::move(frames));
            } catch (const std::bad_alloc&) {
            }
        }
        // Lets the lock go early; the access may not be used afterwards.
        void release() {
            if (shared_ != nullptr) {
                shared_->lock_.unlock();
                shared_ = nullptr;
            }
            retired_.clear();
            for (LayerFrames& frames : retiredFrames_) {
                while (!frames.empty()) {
                    frames.pop_back();
                    if (frames.size() % 16 == 0)
                        std::this_thread::yield();
                }
            }
            retiredFrames_.clear();
        }

    private:
        SharedScene* shared_;
        std::vector<std::shared_ptr<void>> retired_;
        std::vector<LayerFrames> retiredFrames_;
    };

    Access forCommand() { return Access(*this); }

    // The frame path: runs f on the scene under the lock; returns how long it waited for it.
    template <typename F>
    std::chrono::nanoseconds forFrame(F&& f) {
        const std::chrono::nanoseconds waited = lock_.lockForFrame();
        struct Unlock {
            SceneLock& lock;
            ~Unlock() { lock.unlock(); }
        } unlock{lock_};
        f(scene_);
        return waited;
    }

private:
    SceneLock lock_;
    Scene scene_;
};

} // namespace kavelin
