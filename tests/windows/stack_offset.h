// Calling a cdecl function with the stack pointer at a chosen offset from a
// 16-byte boundary, as a 32-bit Windows host may call a plug-in: such a host
// promises only 4-byte alignment.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace wintest {

using AnyFunction = void (*)();

// Calls fn with args (each one 4-byte stack slot, first argument lowest) with
// the stack pointer at the call instruction equal to offset modulo 16
// (offset a multiple of 4 below 16); returns what fn leaves in EAX.
uint32_t callAtStackOffset(AnyFunction fn, std::initializer_list<uint32_t> args, uint32_t offset);

// The stack pointer at a function's entry, where the return address lies;
// called through callAtStackOffset it shows the offset actually produced.
extern "C" uint32_t elvStackAtEntry();

// Argument slots for pointers and 32-bit integers.
inline uint32_t slot(const void *pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}
inline uint32_t slot(int32_t value) { return static_cast<uint32_t>(value); }

template <typename F> AnyFunction anyFunction(F *fn) { return reinterpret_cast<AnyFunction>(fn); }

} // namespace wintest
