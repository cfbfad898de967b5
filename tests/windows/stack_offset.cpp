#include "tests/windows/stack_offset.h"

#include <cstddef>

#if !defined(_WIN32) || !defined(__i386__)
#error "the stack-offset trampoline is 32-bit Windows (i686) code"
#endif

extern "C" uint32_t elvCallWithStackOffset(wintest::AnyFunction fn, const uint32_t *args,
                                           uint32_t count, uint32_t offset);

// cdecl on i686 Windows: arguments on the stack, EAX/ECX/EDX free for the
// callee, EBX/ESI/EDI/EBP kept, direction flag clear at every call; C symbols
// carry a leading underscore. The arguments are copied to a block whose first
// slot is offset bytes past a 16-byte boundary, then fn is called; EBP holds
// the caller's frame, so the stack is restored whatever fn leaves in ESP.
asm(R"(
    .text
    .globl _elvCallWithStackOffset
    .def _elvCallWithStackOffset; .scl 2; .type 32; .endef
_elvCallWithStackOffset:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    leal 0(,%ecx,4), %eax
    movl %esp, %edx
    subl %eax, %edx
    subl $64, %edx
    andl $-16, %edx
    addl 20(%ebp), %edx
    movl %edx, %esp
    movl %edx, %edi
    cld
    rep movsl
    call *8(%ebp)
    leal -8(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebp
    ret

    .globl _elvStackAtEntry
    .def _elvStackAtEntry; .scl 2; .type 32; .endef
_elvStackAtEntry:
    movl %esp, %eax
    ret
)");

namespace wintest {

uint32_t callAtStackOffset(AnyFunction fn, std::initializer_list<uint32_t> args, uint32_t offset) {
  return elvCallWithStackOffset(fn, args.begin(), static_cast<uint32_t>(args.size()), offset % 16);
}

} // namespace wintest
