#pragma once

#include "engine/SharedScene.h"

#include <memory>

namespace kavelin {

// A command's change to the picture a layer shows, in three steps: `begin` under the scene's
// lock, the drawing into `target()` outside it, `finish` under the lock again. The picture is
// changed in place when nothing else can see it (Layer::privatePicture); otherwise the drawing
// goes into a copy, which replaces the picture in `finish`, so a picture on air never changes.
class PictureEdit {
public:
    // False when the layer shows no picture.
    bool begin(Layer& layer);
    // The picture to draw into; none when the copy's memory is not granted.
    Image* target();
    const DrawCursor& cursor() const { return cursor_; }
    // The drawing is over: the picture's rows are measured for composition, outside the lock.
    void drawn();
    void finish(Layer& layer, SharedScene::Access& scene);

private:
    int32_t slot_ = -1;
    Image* inPlace_ = nullptr;
    std::shared_ptr<const Image> shown_;
    std::unique_ptr<Image> copy_;
    DrawCursor cursor_;
};

} // namespace kavelin
