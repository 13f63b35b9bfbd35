#pragma once
// Move-only owners of the system's handles and COM objects: a copy could close one twice, and
// every path, the throwing ones included, releases what it opened.

#include <windows.h>
#include <objidl.h>
#include <shtypes.h>

#include <utility>

namespace platform {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type value) : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    Type Get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }

    Type Release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    void Reset(Type value = Traits::Invalid()) noexcept
    {
        if (value_ != Traits::Invalid())
            Traits::Close(value_);
        value_ = value;
    }

private:
    Type value_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type handle) noexcept { CloseHandle(handle); }
};

// CreateFile's failure value is INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) noexcept { CloseHandle(handle); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) noexcept { FindClose(handle); }
};

struct FontTraits {
    using Type = HFONT;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type font) noexcept { DeleteObject(font); }
};

using Handle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using Font = UniqueHandle<FontTraits>;

template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        Reset();
        pointer_ = std::exchange(other.pointer_, nullptr);
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() { Reset(); }

    Interface* Get() const noexcept { return pointer_; }
    Interface* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    // For the out-parameter of a call that creates or queries an object.
    Interface** Receive() noexcept
    {
        Reset();
        return &pointer_;
    }
    void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }

    void Reset() noexcept
    {
        if (pointer_)
            std::exchange(pointer_, nullptr)->Release();
    }

private:
    Interface* pointer_ = nullptr;
};

// An item-id list from the shell, freed with the task allocator that the caller obtained.
// The allocator must outlive the list: declare it first.
class ItemIdList {
public:
    ItemIdList(IMalloc* allocator, LPITEMIDLIST list) : allocator_(allocator), list_(list) {}
    ItemIdList(ItemIdList&& other) noexcept
        : allocator_(other.allocator_), list_(std::exchange(other.list_, nullptr))
    {
    }
    ItemIdList& operator=(ItemIdList&&) = delete;
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;
    ~ItemIdList()
    {
        if (list_)
            allocator_->Free(list_);
    }

    LPCITEMIDLIST Get() const noexcept { return list_; }

private:
    IMalloc* allocator_;
    LPITEMIDLIST list_;
};

}  // namespace platform
