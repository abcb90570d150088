#pragma once
// The current implementation of a platform seam: a fallback that always
// exists (the headless one) and whatever the program or a test installed.

namespace morvane {

template <typename Interface, typename Fallback>
class SeamSlot {
public:
    Interface& Get() { return *current_; }
    // Installs an implementation (nullptr restores the fallback); returns the previous one.
    Interface* Set(Interface* next)
    {
        Interface* previous = current_;
        current_ = next ? next : &fallback_;
        return previous;
    }

private:
    Fallback fallback_;
    Interface* current_ = &fallback_;
};

} // namespace morvane
