#include "PlugIns/win/GuardedInvoke.h"

#if defined(__x86_64__)
// The frame: eight saved registers, 32 bytes of home space for the callee, the gap,
// xmm6-xmm15, the x87 control word and MXCSR. The body's stack pointer is the establisher
// frame. The gap is touched a page at a time on the way down, as the stack grows.
asm(R"(
    .text
    .globl vo_guarded_invoke
    .seh_proc vo_guarded_invoke
vo_guarded_invoke:
    pushq %rbp
    .seh_pushreg %rbp
    pushq %rbx
    .seh_pushreg %rbx
    pushq %rsi
    .seh_pushreg %rsi
    pushq %rdi
    .seh_pushreg %rdi
    pushq %r12
    .seh_pushreg %r12
    pushq %r13
    .seh_pushreg %r13
    pushq %r14
    .seh_pushreg %r14
    pushq %r15
    .seh_pushreg %r15
    testq %rax, -4096(%rsp)
    testq %rax, -8192(%rsp)
    subq $8392, %rsp
    .seh_stackalloc 8392
    movaps %xmm6, 8224(%rsp)
    .seh_savexmm %xmm6, 8224
    movaps %xmm7, 8240(%rsp)
    .seh_savexmm %xmm7, 8240
    movaps %xmm8, 8256(%rsp)
    .seh_savexmm %xmm8, 8256
    movaps %xmm9, 8272(%rsp)
    .seh_savexmm %xmm9, 8272
    movaps %xmm10, 8288(%rsp)
    .seh_savexmm %xmm10, 8288
    movaps %xmm11, 8304(%rsp)
    .seh_savexmm %xmm11, 8304
    movaps %xmm12, 8320(%rsp)
    .seh_savexmm %xmm12, 8320
    movaps %xmm13, 8336(%rsp)
    .seh_savexmm %xmm13, 8336
    movaps %xmm14, 8352(%rsp)
    .seh_savexmm %xmm14, 8352
    movaps %xmm15, 8368(%rsp)
    .seh_savexmm %xmm15, 8368
    .seh_endprologue
    .seh_handler vo_guard_handler, @except
    fnstcw 8384(%rsp)
    stmxcsr 8388(%rsp)
    movq %rsp, (%r8)
    movq %rcx, %rax
    movq %rdx, %rcx
    call *%rax
    .globl vo_guard_called
vo_guard_called:
    xorl %eax, %eax
    .globl vo_guard_recover
vo_guard_recover:
    cld
    fninit
    fldcw 8384(%rsp)
    ldmxcsr 8388(%rsp)
    movaps 8224(%rsp), %xmm6
    movaps 8240(%rsp), %xmm7
    movaps 8256(%rsp), %xmm8
    movaps 8272(%rsp), %xmm9
    movaps 8288(%rsp), %xmm10
    movaps 8304(%rsp), %xmm11
    movaps 8320(%rsp), %xmm12
    movaps 8336(%rsp), %xmm13
    movaps 8352(%rsp), %xmm14
    movaps 8368(%rsp), %xmm15
    addq $8392, %rsp
    popq %r15
    popq %r14
    popq %r13
    popq %r12
    popq %rdi
    popq %rsi
    popq %rbx
    popq %rbp
    ret
    .seh_endproc

    .globl vo_guard_jump
vo_guard_jump:
    movq %rcx, %rsp
    movl %edx, %eax
    jmp vo_guard_recover
)");

extern "C" void GuardCalled() asm("vo_guard_called");  // where the callee returns to

namespace vo::win {

std::uintptr_t InstructionPointer(const CONTEXT& c) { return c.Rip; }
std::uintptr_t StackPointer(const CONTEXT& c) { return c.Rsp; }

void ResumeGuardedCall(CONTEXT& c, void* stack, DWORD outcome) {
  c.Rip = reinterpret_cast<DWORD64>(&GuardRecover);
  c.Rsp = reinterpret_cast<DWORD64>(stack);
  c.Rax = outcome;
}

// Read directly: g++ 12 takes the header's NtCurrentTeb for an out-of-bounds read.
NT_TIB* ThreadBlock() {
  NT_TIB* tib = nullptr;
  asm("movq %%gs:0x30, %0" : "=r"(tib));
  return tib;
}

namespace {

bool IsCode(DWORD64 address) {
  MEMORY_BASIC_INFORMATION memory;
  constexpr DWORD kExecutable =
      PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  return VirtualQuery(reinterpret_cast<void*>(address), &memory, sizeof memory) &&
         memory.State == MEM_COMMIT && (memory.Protect & kExecutable);
}

}  // namespace

// The search unwinds frame by frame as the system does: by the unwind data of the code, or,
// for code without any, by taking it for a leaf that returns through the stack pointer. Code
// that overran its frame into the return addresses leaves a chain that ends in no code at
// all. The search goes on regardless, reading stale return addresses out of the frames above,
// and may land on a dead guard frame left there by an earlier call: its handler would resume
// it. Only a walk that returns into the guard's own call at its frame reaches it.
bool HandlerSearchReaches(const CONTEXT& context, const void* stack) {
  CONTEXT c = context;
  const auto lowest = reinterpret_cast<DWORD64>(ThreadBlock()->StackLimit);
  const auto guard = reinterpret_cast<DWORD64>(stack);
  for (int depth = 0; depth < 1024; ++depth) {
    if (c.Rsp == guard) return c.Rip == reinterpret_cast<DWORD64>(&GuardCalled);
    if (c.Rsp > guard || c.Rsp < lowest || c.Rsp % 8 != 0) return false;
    DWORD64 base = 0;
    if (RUNTIME_FUNCTION* entry = RtlLookupFunctionEntry(c.Rip, &base, nullptr)) {
      void* data = nullptr;
      DWORD64 frame = 0;
      RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, c.Rip, entry, &c, &data, &frame, nullptr);
    } else if (depth == 0 || IsCode(c.Rip)) {
      // The faulting address itself may be anywhere (a call through a bad pointer).
      c.Rip = *reinterpret_cast<const DWORD64*>(c.Rsp);
      c.Rsp += sizeof c.Rip;
    } else {
      return false;
    }
  }
  return false;
}

}  // namespace vo::win
#endif
