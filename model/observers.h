// A list of callbacks that one place of the core calls when something happens (a file
// opened by the loader, a point of the camera walk). Each user installs its callback
// for a scope and may capture whatever context it needs; several users may listen at
// once, and are called in the order they were installed.
//
//   QzObserverList<const QzPart&, const std::string&>::Scoped watch(
//       QzFileObservers, [&](const QzPart& part, const std::string& path) { ... });
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

template <typename... Args>
class QzObserverList {
  public:
    using Callback = std::function<void(Args...)>;

    // Installs a callback for its own lifetime.
    class Scoped {
      public:
        Scoped(QzObserverList& list, Callback callback)
            : list_(list), id_(list.Add(std::move(callback))) {}
        ~Scoped() { list_.Remove(id_); }
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

      private:
        QzObserverList& list_;
        uint64_t id_;
    };

    bool Empty() const { return entries_.empty(); }
    void Notify(Args... args) const {
        for (const Entry& entry : entries_) entry.callback(args...);
    }

  private:
    struct Entry {
        uint64_t id;
        Callback callback;
    };

    uint64_t Add(Callback callback) {
        entries_.push_back({++lastId_, std::move(callback)});
        return lastId_;
    }
    void Remove(uint64_t id) {
        std::erase_if(entries_, [id](const Entry& entry) { return entry.id == id; });
    }

    std::vector<Entry> entries_;
    uint64_t lastId_ = 0;
};
