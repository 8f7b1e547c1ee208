#pragma once

namespace kavelin {

// A body of work that a Thread runs.
class Runnable {
public:
    virtual ~Runnable() = default;
    virtual void run() = 0;
};

} // namespace kavelin
