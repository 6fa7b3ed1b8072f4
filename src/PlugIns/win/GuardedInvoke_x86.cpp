#include "PlugIns/win/GuardedInvoke.h"

#if defined(__i386__)
// The frame: four saved registers, the x87 control word and MXCSR, then the registration
// record {next, handler} that is also the establisher frame, then the gap. After the call the
// stack pointer comes back from the frame pointer: a callee that pops the wrong number of
// arguments cannot displace the record.
asm(R"(
    .text
    .globl vo_guarded_invoke
vo_guarded_invoke:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $8, %esp
    fnstcw (%esp)
    stmxcsr 4(%esp)
    pushl $vo_guard_handler
    pushl %fs:0
    movl %esp, %fs:0
    movl 16(%ebp), %eax
    movl %esp, (%eax)
    subl $4096, %esp
    orl $0, (%esp)
    subl $4096, %esp
    orl $0, (%esp)
    pushl 12(%ebp)
    call *8(%ebp)
    leal -28(%ebp), %esp
    xorl %eax, %eax
    .globl vo_guard_recover
vo_guard_recover:
    cld
    fninit
    fldcw 8(%esp)
    ldmxcsr 12(%esp)
    popl %ecx
    movl %ecx, %fs:0
    addl $12, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .globl vo_guard_jump
vo_guard_jump:
    movl 8(%esp), %eax
    movl 4(%esp), %esp
    jmp vo_guard_recover
)");

namespace vo::win {

std::uintptr_t InstructionPointer(const CONTEXT& c) { return c.Eip; }
std::uintptr_t StackPointer(const CONTEXT& c) { return c.Esp; }

void ResumeGuardedCall(CONTEXT& c, void* stack, DWORD outcome) {
  c.Eip = reinterpret_cast<DWORD>(&GuardRecover);
  c.Esp = reinterpret_cast<DWORD>(stack);
  c.Eax = outcome;
}

NT_TIB* ThreadBlock() {
  NT_TIB* tib = nullptr;
  asm("movl %%fs:0x18, %0" : "=r"(tib));
  return tib;
}

// The handlers are registered in a list of records, each in its frame, that no overrun of an
// inner frame reaches past the gap: the search always gets to the guard's.
bool HandlerSearchReaches(const CONTEXT&, const void*) { return true; }

}  // namespace vo::win
#endif
