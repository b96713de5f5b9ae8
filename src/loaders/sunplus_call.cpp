#include "loaders/sunplus_call.h"

// The stack-safe call, 32-bit x86 only (ELF for the native 32-bit test, PE for the product). It
// is itself an ordinary cdecl function: entry at 8(%ebp), args at 12(%ebp), count at 16(%ebp).
//
// The saved ESP lives in EDI, which both conventions preserve across the call; after the callee
// returns, ESP is taken from it, so the callee's own clean-up (ret N, or none) does not matter.
// The argument area is aligned to 16 bytes, as the System V ABI asks and as code built with
// SSE expects; Windows asks only 4, which the same alignment also meets. The copy loop runs
// count times, and count is bounded by the caller.
#if defined(__i386__)
// NOLINTNEXTLINE(hicpp-no-assembler): a call whose stack use the compiler cannot describe
__asm__(
    ".text\n"
    ".globl veltra_sunplus_stack_safe_call\n"
    ".p2align 4\n"
    "veltra_sunplus_stack_safe_call:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %edi\n"
    "  pushl %esi\n"
    "  pushl %ebx\n"
    "  movl 8(%ebp), %eax\n"   // entry
    "  movl 12(%ebp), %esi\n"  // args
    "  movl 16(%ebp), %ecx\n"  // count
    "  movl %esp, %edi\n"      // the stack pointer to come back to
    "  leal 0(,%ecx,4), %edx\n"
    "  subl %edx, %esp\n"
    "  andl $-16, %esp\n"
    "  testl %ecx, %ecx\n"
    "  jz 2f\n"
    "1:\n"
    "  decl %ecx\n"
    "  movl (%esi,%ecx,4), %edx\n"
    "  movl %edx, (%esp,%ecx,4)\n"
    "  jnz 1b\n"  // flags of the decl: mov leaves them alone
    "2:\n"
    "  call *%eax\n"
    "  movl %edi, %esp\n"  // whatever the callee removed, or did not
    "  popl %ebx\n"
    "  popl %esi\n"
    "  popl %edi\n"
    "  popl %ebp\n"
    "  ret\n");
#endif
