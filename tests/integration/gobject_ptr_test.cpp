#include <gtest/gtest.h>

#include "platform/gtk/gobject_ptr.h"

namespace pw::gtk {
namespace {

guint referencesOf(gpointer object)
{
    return G_OBJECT(object)->ref_count;
}

// Finalised objects clear the pointer they are watched through.
struct Watched {
    GObject* object;
    explicit Watched(GObject* o) : object(o) { g_object_add_weak_pointer(object, reinterpret_cast<gpointer*>(&object)); }
    ~Watched()
    {
        if (object) g_object_remove_weak_pointer(object, reinterpret_cast<gpointer*>(&object));
    }
    bool alive() const { return object != nullptr; }
};

TEST(GObjectPtr, EachOwnerHoldsOneReferenceAndTheLastOneFinalises)
{
    auto adopted = GObjectPtr<GObject>::adopt(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
    Watched watched(adopted.get());
    EXPECT_EQ(referencesOf(adopted.get()), 1u) << "adopting takes no reference of its own";
    {
        const GObjectPtr<GObject> copy = adopted;
        EXPECT_EQ(referencesOf(adopted.get()), 2u);
        GObjectPtr<GObject> moved = std::move(adopted);
        EXPECT_FALSE(adopted);
        EXPECT_EQ(referencesOf(moved.get()), 2u) << "moving hands the reference on";
        adopted = std::move(moved);
    }
    EXPECT_EQ(referencesOf(adopted.get()), 1u);
    adopted = GObjectPtr<GObject>::adopt(G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr)));
    EXPECT_FALSE(watched.alive()) << "assigning let go of the first object";
    adopted.reset();
    EXPECT_FALSE(adopted);
}

TEST(GObjectPtr, BorrowedFloatingAndReleasedReferences)
{
    // Borrowed: the lender keeps its own.
    GObject* lent = G_OBJECT(g_object_new(G_TYPE_OBJECT, nullptr));
    Watched watchedLent(lent);
    GObjectPtr<GObject>::ref(lent);
    EXPECT_TRUE(watchedLent.alive());
    EXPECT_EQ(referencesOf(lent), 1u);

    // Floating: sunk, and then the owner's alone.
    GObject* floating = G_OBJECT(g_object_new(G_TYPE_INITIALLY_UNOWNED, nullptr));
    Watched watchedFloating(floating);
    {
        const auto sunk = GObjectPtr<GObject>::refSink(floating);
        EXPECT_FALSE(g_object_is_floating(floating));
        EXPECT_EQ(referencesOf(floating), 1u);
    }
    EXPECT_FALSE(watchedFloating.alive());

    // Released: the reference goes with the pointer and can be adopted again.
    auto owner = GObjectPtr<GObject>::adopt(lent);
    GObject* handed = owner.release();
    EXPECT_FALSE(owner);
    EXPECT_TRUE(watchedLent.alive());
    GObjectPtr<GObject>::adopt(handed);
    EXPECT_FALSE(watchedLent.alive());
}

TEST(GOwned, FreesWithTheFunctionItNamesOnce)
{
    int frees = 0;
    {
        const GBytesPtr bytes(g_bytes_new_with_free_func("x", 1, [](gpointer count) { ++*static_cast<int*>(count); },
                                                         &frees));
        EXPECT_EQ(frees, 0);
    }
    EXPECT_EQ(frees, 1);
    const GCharPtr empty;
    EXPECT_FALSE(empty);
}

}  // namespace
}  // namespace pw::gtk
