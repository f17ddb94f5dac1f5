#include "platform/gtk/gtk_main_queue.h"

#include <glib.h>

namespace pw::gtk {

namespace {

gboolean runOnce(gpointer data)
{
    (*static_cast<std::function<void()>*>(data))();
    return G_SOURCE_REMOVE;
}

void destroyTask(gpointer data)
{
    delete static_cast<std::function<void()>*>(data);
}

class GlibTimer : public Timer {
public:
    explicit GlibTimer(guint id) : id_(id) {}
    ~GlibTimer() override = default;

    void invalidate() override
    {
        // The source may already have fired and gone; removing it by id would then
        // hit whatever source reused the id, so look it up first.
        if (id_ == 0) return;
        if (GSource* source = g_main_context_find_source_by_id(g_main_context_default(), id_))
            if (!g_source_is_destroyed(source)) g_source_destroy(source);
        id_ = 0;
    }

    void fired() { id_ = 0; }
    void arm(guint id) { id_ = id; }

private:
    guint id_;
};

}  // namespace

void GtkMainQueue::post(std::function<void()> task)
{
    // An idle source rather than g_main_context_invoke: invoke would run the task at
    // once when called on the main thread, and posted work must wait for the caller.
    g_idle_add_full(G_PRIORITY_DEFAULT, runOnce, new std::function<void()>(std::move(task)), destroyTask);
}

std::shared_ptr<Timer> GtkMainQueue::schedule(double seconds, std::function<void()> task)
{
    auto timer = std::make_shared<GlibTimer>(0);
    std::weak_ptr<GlibTimer> weakTimer = timer;
    auto wrapped = new std::function<void()>([weakTimer, task = std::move(task)] {
        if (auto t = weakTimer.lock()) t->fired();
        task();
    });
    const auto ms = static_cast<guint>(seconds * 1000.0 + 0.5);
    timer->arm(g_timeout_add_full(G_PRIORITY_DEFAULT, ms, runOnce, wrapped, destroyTask));
    return timer;
}

}  // namespace pw::gtk
