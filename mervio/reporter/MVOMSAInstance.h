// A reporter part made once and handed out only once its start-up is done.
// It is made under one lock and published under another, so that code its
// start-up calls back into finds none yet (and carries on without it)
// instead of waiting for it.
//
//   static mvomsa::Instance<MVOMSA> reporter;
//   auto r = reporter.getOrMake([] { auto made = std::shared_ptr<MVOMSA>(new MVOMSA()); made->init(); return made; });
//   if (auto r = reporter.get()) ...                 // never waits for a start-up
#pragma once

#include <memory>
#include <mutex>

namespace mvomsa {

template <typename T>
class Instance {
public:
    std::shared_ptr<T> get() const {
        std::lock_guard lock(published_);
        return instance_;
    }

    template <typename Make>
    std::shared_ptr<T> getOrMake(const Make& make) {
        if (auto existing = get()) return existing;
        std::lock_guard creating(creation_);
        if (auto existing = get()) return existing;
        std::shared_ptr<T> made = make();
        std::lock_guard lock(published_);
        instance_ = made;
        return made;
    }

    // Tests: forgets it, handing it over.
    std::shared_ptr<T> take() {
        std::lock_guard lock(published_);
        return std::move(instance_);
    }

private:
    std::mutex creation_;
    mutable std::mutex published_;
    std::shared_ptr<T> instance_;
};

}  // namespace mvomsa
