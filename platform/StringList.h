#pragma once
// An ordered list of texts, each with one associated value that the list never frees. Never
// sorted: an added item goes to the end.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class TStringList {
public:
    int Count() const noexcept { return static_cast<int>(items_.size()); }

    // The new item's index.
    int Add(std::string text, std::uintptr_t value = 0);
    const std::string& operator[](int index) const;
    std::uintptr_t Value(int index) const;
    void Put(int index, std::string text);
    // Later items move down by one.
    void Delete(int index);

    // First item equal to `text` under the user locale's case-insensitive comparison; -1 if none.
    int IndexOf(const std::string& text) const;
    // First item whose associated value is `value`; -1 if none.
    int IndexOfValue(std::uintptr_t value) const;

private:
    struct Item {
        std::string text;
        std::uintptr_t value;
    };
    const Item& At(int index) const;

    std::vector<Item> items_;
};

}  // namespace platform
