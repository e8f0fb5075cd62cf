// Calls through the driver interface land in the published slots with the
// arguments where a driver built with the platform's usual compiler expects them.
// The stand-in methods are written without the interface's declarations: in
// assembly on 32-bit x86 (this in ECX, arguments on the stack, popped by the callee),
// as plain functions taking `this` first on x86_64.
#include <gtest/gtest.h>

#include "audio/asio/AsioInterface.h"

extern "C" {
void* g_pFakeThis = nullptr;
void* g_pFakeArg = nullptr;
double g_dFakeRate = 0.0;
int g_iFakeSlot = 0;
}

#if defined(__i386__)
extern "C" void tq_fake_init();
extern "C" void tq_fake_getBufferSize();
extern "C" void tq_fake_setSampleRate();
extern "C" void tq_fake_outputReady();
asm(R"(
    .text
    .globl _tq_fake_init
_tq_fake_init:
    movl %ecx, _g_pFakeThis
    movl 4(%esp), %eax
    movl %eax, _g_pFakeArg
    movl $3, _g_iFakeSlot
    movl $1, %eax
    ret $4
    .globl _tq_fake_getBufferSize
_tq_fake_getBufferSize:
    movl %ecx, _g_pFakeThis
    movl 4(%esp), %eax
    movl $11, (%eax)
    movl 8(%esp), %eax
    movl $12, (%eax)
    movl 12(%esp), %eax
    movl $13, (%eax)
    movl 16(%esp), %eax
    movl $14, (%eax)
    movl $11, _g_iFakeSlot
    xorl %eax, %eax
    ret $16
    .globl _tq_fake_setSampleRate
_tq_fake_setSampleRate:
    movl %ecx, _g_pFakeThis
    fldl 4(%esp)
    fstpl _g_dFakeRate
    movl $14, _g_iFakeSlot
    movl $-995, %eax
    ret $8
    .globl _tq_fake_outputReady
_tq_fake_outputReady:
    movl %ecx, _g_pFakeThis
    movl $23, _g_iFakeSlot
    xorl %eax, %eax
    ret
)");
#else
namespace {
long Called(void* self, int iSlot, long lResult)
{
    g_pFakeThis = self;
    g_iFakeSlot = iSlot;
    return lResult;
}
long tq_fake_init(void* self, void* sys)
{
    g_pFakeArg = sys;
    return Called(self, 3, 1);
}
long tq_fake_getBufferSize(void* self, long* a, long* b, long* c, long* d)
{
    *a = 11, *b = 12, *c = 13, *d = 14;
    return Called(self, 11, 0);
}
long tq_fake_setSampleRate(void* self, double rate)
{
    g_dFakeRate = rate;
    return Called(self, 14, -995);
}
long tq_fake_outputReady(void* self) { return Called(self, 23, 0); }
} // namespace
#endif

TEST(AsioInterface, MethodsUseThePublishedSlotsAndConvention)
{
    void* table[24] = {};
    table[3] = reinterpret_cast<void*>(&tq_fake_init);
    table[11] = reinterpret_cast<void*>(&tq_fake_getBufferSize);
    table[14] = reinterpret_cast<void*>(&tq_fake_setSampleRate);
    table[23] = reinterpret_cast<void*>(&tq_fake_outputReady);
    // An object is its table pointer; the volatile hop keeps the optimiser from
    // reasoning about a driver object that was never constructed as one.
    void* object[1] = {table};
    IAsioDriver* volatile pObject = reinterpret_cast<IAsioDriver*>(object);
    IAsioDriver* p = pObject;

    int marker = 0;
    EXPECT_EQ(p->init(&marker), 1);
    EXPECT_EQ(g_iFakeSlot, 3);
    EXPECT_EQ(g_pFakeThis, static_cast<void*>(object));
    EXPECT_EQ(g_pFakeArg, &marker);

    long a = 0, b = 0, c = 0, d = 0;
    EXPECT_EQ(p->getBufferSize(&a, &b, &c, &d), ASE_OK);
    EXPECT_EQ(g_iFakeSlot, 11);
    EXPECT_TRUE(a == 11 && b == 12 && c == 13 && d == 14);

    EXPECT_EQ(p->setSampleRate(44100.0), ASE_NoClock);
    EXPECT_EQ(g_iFakeSlot, 14);
    EXPECT_EQ(g_dFakeRate, 44100.0);

    g_pFakeThis = nullptr;
    EXPECT_EQ(p->outputReady(), ASE_OK);
    EXPECT_EQ(g_iFakeSlot, 23);
    EXPECT_EQ(g_pFakeThis, static_cast<void*>(object));
}
