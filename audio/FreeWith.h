// Owning pointers to a C library's objects: `CPtr<T, free>` is a unique_ptr
// whose object is released by the library's own `free(T*)`.
#pragma once

#include <memory>

template <auto Free> struct FreeWith {
    template <class T> void operator()(T* object) const { Free(object); }
};

template <class T, auto Free> using CPtr = std::unique_ptr<T, FreeWith<Free>>;
