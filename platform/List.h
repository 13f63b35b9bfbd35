#pragma once
// A list of untyped pointers that owns nothing: a derived list decides what its items are and
// whether it frees them.

#include <vector>

namespace platform {

// The base of objects that a list may own and free through a pointer to the base.
class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

class TList {
public:
    TList() = default;
    TList(const TList&) = delete;
    TList& operator=(const TList&) = delete;
    virtual ~TList() = default;

    int Count() const noexcept { return static_cast<int>(items_.size()); }
    // The new item's index.
    int Add(void* item);
    void* Items(int index) const;
    // Later items move down by one.
    void Delete(int index);
    // Empties the list; the items themselves stay as they are.
    void Clear() noexcept { items_.clear(); }
    // First position of `item`; -1 if none.
    int IndexOf(const void* item) const noexcept;

private:
    void Check(int index) const;

    std::vector<void*> items_;
};

}  // namespace platform
