#include "stack_check.h"

// The caller's frame is rebuilt from EBP after the call, so a callee that pops too much or too
// little is measured rather than crashing the test; EBX, ESI and EDI carry markers across it.
asm(R"(
    .text
    .globl _stackcheck_appelle
_stackcheck_appelle:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $4, %esp
    movl %esp, -16(%ebp)
    movl 16(%ebp), %ecx
    movl 12(%ebp), %edx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edx,%ecx,4)
    jmp 1b
2:  movl $0x1BADB002, %ebx
    movl $0x2BADB003, %esi
    movl $0x3BADB004, %edi
    call *8(%ebp)
    movl 20(%ebp), %ecx
    movl %eax, (%ecx)
    movl %esp, %eax
    subl -16(%ebp), %eax
    movl 24(%ebp), %ecx
    movl $1, (%ecx)
    cmpl $0x1BADB002, %ebx
    jne 3f
    cmpl $0x2BADB003, %esi
    jne 3f
    cmpl $0x3BADB004, %edi
    je 4f
3:  movl $0, (%ecx)
4:  leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

extern "C" std::int32_t stackcheck_appelle(const void* entree, const std::uint32_t* mots, std::uint32_t nombre,
                                           std::uint32_t* resultat, std::uint32_t* registres);

namespace stackcheck {

Appel appelle(const void* entree, const std::uint32_t* mots, std::uint32_t nombre)
{
    Appel a;
    std::uint32_t registres = 0;
    a.derive = stackcheck_appelle(entree, mots, nombre, &a.resultat, &registres);
    a.registres = registres != 0;
    return a;
}

std::string decrit(const Appel& a)
{
    return "stack moved by " + std::to_string(a.derive) + " bytes, registers " +
           (a.registres ? "kept" : "changed") + ", result " + std::to_string(a.resultat);
}

}  // namespace stackcheck
