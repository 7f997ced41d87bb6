// The hook table's bookkeeping and the wheel message's decoding, without a window.
#include "hook_table.h"
#include "wheel_message.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace rotelle;

namespace {

// A control that counts the references held to it.
struct Control {
    int refs = 0;
};

class Ref {
public:
    Ref() = default;
    explicit Ref(Control* c) : c_(c) { ++c_->refs; }
    Ref(Ref&& o) noexcept : c_(o.c_) { o.c_ = nullptr; }
    Ref& operator=(Ref&& o) noexcept
    {
        std::swap(c_, o.c_);
        return *this;
    }
    ~Ref()
    {
        if (c_)
            --c_->refs;
    }
    Control* get() const { return c_; }

private:
    Control* c_ = nullptr;
};

HookEntry<Ref> entry(std::intptr_t w, Control& c, std::intptr_t proc)
{
    return {w, Ref(&c), proc};
}

}  // namespace

TEST(HookTable, EntriesKeepTheirOrderAndTheGapCloses)
{
    Control c1, c2, c3;
    HookTable<Ref> t;
    ASSERT_TRUE(t.ajoute(entry(101, c1, 1)));
    ASSERT_TRUE(t.ajoute(entry(102, c2, 2)));
    ASSERT_TRUE(t.ajoute(entry(103, c3, 3)));
    EXPECT_EQ(t.HookCount(), 3);
    EXPECT_EQ(c2.refs, 1);
    t.retire(*t.trouve(102));
    EXPECT_EQ(c2.refs, 0);   // released with its entry
    ASSERT_EQ(t.HookCount(), 2);
    EXPECT_EQ(t[0].Window, 101);
    EXPECT_EQ(t[0].Control.get(), &c1);
    EXPECT_EQ(t[0].PrevWndProc, 1);
    EXPECT_EQ(t[1].Window, 103);
    EXPECT_EQ(t[1].Control.get(), &c3);
    EXPECT_EQ(t[1].PrevWndProc, 3);
    EXPECT_FALSE(t.trouve(102));
    EXPECT_FALSE(t.trouve(999));
}

TEST(HookTable, FullAt32767AndUnchangedByTheRefusal)
{
    Control c, extra;
    HookTable<Ref> t;
    for (std::intptr_t w = 1; w <= 32767; ++w)
        ASSERT_TRUE(t.ajoute(entry(w, c, w)));
    EXPECT_EQ(t.HookCount(), 32767);
    EXPECT_FALSE(t.ajoute(entry(40000, extra, 1)));
    EXPECT_EQ(t.HookCount(), 32767);
    EXPECT_EQ(extra.refs, 0);   // the refused entry's reference was not kept
    EXPECT_EQ(c.refs, 32767);
}

namespace {

// A control on the heap that holds the last reference to itself through the table, as a
// hooked control does: its last release unhooks its window again, then frees it.
struct SelfUnhooking;
using Table = HookTable<std::unique_ptr<SelfUnhooking, void (*)(SelfUnhooking*)>>;
struct SelfUnhooking {
    Table* table;
    std::intptr_t window;
    int* released;
};
void release(SelfUnhooking* c)
{
    if (const auto i = c->table->trouve(c->window))
        c->table->retire(*i);
    ++*c->released;
    delete c;
}

}  // namespace

TEST(HookTable, TornDownWithControlsThatUnhookThemselvesOnTheirLastRelease)
{
    int released = 0;
    auto fill = [&](Table& t) {
        for (std::intptr_t w = 1; w <= 3; ++w)
            t.ajoute({w, Table::Ref(new SelfUnhooking{&t, w, &released}, &release), 0});
    };
    {
        Table t;
        fill(t);
    }   // a thread ending with its controls still hooked
    EXPECT_EQ(released, 3);
    Table t;
    fill(t);
    std::vector<std::intptr_t> seen;
    t.vide([&](const auto& e) { seen.push_back(e.Window); });
    EXPECT_EQ(released, 6);
    EXPECT_EQ(seen, (std::vector<std::intptr_t>{3, 2, 1}));
    EXPECT_EQ(t.size(), 0u);
}

TEST(WheelMessage, DeltaIsTheSignedHighWordWhateverTheKeyFlags)
{
    EXPECT_EQ(WheelDeltaOf(0xFF880000u), -120);
    EXPECT_EQ(WheelDeltaOf(0xFF880008u), -120);
    EXPECT_EQ(WheelDeltaOf(0x00780000u), 120);
    EXPECT_EQ(WheelDeltaOf(0x0078FFFFu), 120);
    EXPECT_EQ(WheelDeltaOf(0xFFFFFFFF00780000ull), 120);   // only the message's 32 bits count
}

TEST(WheelMessage, PositionXUnsignedYSigned)
{
    EXPECT_EQ(XOf(0xFFF60064u), 100);
    EXPECT_EQ(YOf(0xFFF60064u), -10);
    EXPECT_EQ(XOf(0x0064FF9Cu), 65436);
    EXPECT_EQ(YOf(0x0064FF9Cu), 100);
}

TEST(WheelMessage, NotchesTowardTheUserArePositive)
{
    EXPECT_EQ(DeltaOf(120), -1);
    EXPECT_EQ(DeltaOf(-120), 1);
    EXPECT_EQ(DeltaOf(240), -2);
    EXPECT_EQ(DeltaOf(-360), 3);
    EXPECT_EQ(DeltaOf(60), 0);
    EXPECT_EQ(DeltaOf(-119), 0);
    EXPECT_EQ(DeltaOf(119), 0);
}
