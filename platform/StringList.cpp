#include "StringList.h"

#include "AnsiText.h"
#include "Errors.h"

#include <windows.h>

namespace platform {

int TStringList::Add(std::string text, std::uintptr_t value)
{
    items_.push_back({std::move(text), value});
    return Count() - 1;
}

const TStringList::Item& TStringList::At(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception(Format("リストのインデックス %d は範囲外です", index));
    return items_[static_cast<std::size_t>(index)];
}

const std::string& TStringList::operator[](int index) const
{
    return At(index).text;
}

std::uintptr_t TStringList::Value(int index) const
{
    return At(index).value;
}

void TStringList::Put(int index, std::string text)
{
    At(index);
    items_[static_cast<std::size_t>(index)].text = std::move(text);
}

void TStringList::Delete(int index)
{
    At(index);
    items_.erase(items_.begin() + index);
}

int TStringList::IndexOf(const std::string& text) const
{
    for (int i = 0; i < Count(); ++i) {
        const std::string& item = items_[static_cast<std::size_t>(i)].text;
        if (CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, item.data(),
                           static_cast<int>(item.size()), text.data(),
                           static_cast<int>(text.size())) == CSTR_EQUAL)
            return i;
    }
    return -1;
}

int TStringList::IndexOfValue(std::uintptr_t value) const
{
    for (int i = 0; i < Count(); ++i)
        if (items_[static_cast<std::size_t>(i)].value == value)
            return i;
    return -1;
}

}  // namespace platform
