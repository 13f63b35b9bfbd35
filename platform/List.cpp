#include "List.h"

#include "AnsiText.h"
#include "Errors.h"

namespace platform {

int TList::Add(void* item)
{
    items_.push_back(item);
    return Count() - 1;
}

void TList::Check(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception(Format("リストのインデックス %d は範囲外です", index));
}

void* TList::Items(int index) const
{
    Check(index);
    return items_[static_cast<std::size_t>(index)];
}

void TList::Delete(int index)
{
    Check(index);
    items_.erase(items_.begin() + index);
}

int TList::IndexOf(const void* item) const noexcept
{
    for (int i = 0; i < Count(); ++i)
        if (items_[static_cast<std::size_t>(i)] == item)
            return i;
    return -1;
}

}  // namespace platform
