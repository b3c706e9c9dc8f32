// The GIO module: what the freedesktop backend needs GIO for.
#include "shell/gio_module.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <fcntl.h>
#include <memory>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

struct GObjectUnref {
    void operator()(gpointer p) const {
        if (p) {
            g_object_unref(p);
        }
    }
};
struct GFree {
    void operator()(gpointer p) const { g_free(p); }
};
template <class T> using GObjectPtr = std::unique_ptr<T, GObjectUnref>;
using GString_ = std::unique_ptr<gchar, GFree>;

// Makes dir the working folder for as long as it lives, so that a program
// started meanwhile starts there. A child setup function would do the same
// in the child, but it keeps GLib from its fast posix_spawn path.
class InFolder {
  public:
    explicit InFolder(const char* dir) {
        if (dir && *dir) {
            saved_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (saved_ >= 0 && ::chdir(dir) != 0) {
                ::close(saved_);
                saved_ = -1;
            }
        }
    }
    ~InFolder() {
        if (saved_ >= 0) {
            (void)::fchdir(saved_);
            ::close(saved_);
        }
    }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

  private:
    int saved_ = -1;
};

void Fail(KorvaneGioOutcome* outcome, const char* text) {
    if (outcome) {
        g_strlcpy(outcome->error, text && *text ? text : "the launch failed",
                  sizeof outcome->error);
    }
}

void FailWith(KorvaneGioOutcome* outcome, GError* error, const char* otherwise) {
    Fail(outcome, error ? error->message : otherwise);
    g_clear_error(&error);
}

// A launch context that notes the process id of what it launched.
GObjectPtr<GAppLaunchContext> PidNotingContext(KorvaneGioOutcome* outcome) {
    GObjectPtr<GAppLaunchContext> context(g_app_launch_context_new());
    g_signal_connect(context.get(), "launched",
                     G_CALLBACK(+[](GAppLaunchContext*, GAppInfo*, GVariant* data, gpointer user) {
                         gint32 pid = 0;
                         if (data && g_variant_lookup(data, "pid", "i", &pid)) {
                             static_cast<KorvaneGioOutcome*>(user)->pid = pid;
                         }
                     }),
                     outcome);
    return context;
}

int LaunchApp(GAppInfo* app, const std::vector<std::string>& uris, const char* dir,
              KorvaneGioOutcome* outcome) {
    GList* list = nullptr;
    for (const std::string& uri : uris) {
        list = g_list_append(list, const_cast<char*>(uri.c_str()));
    }
    GError* error = nullptr;
    gboolean ok = FALSE;
    if (G_IS_DESKTOP_APP_INFO(app)) {
        auto* info = G_DESKTOP_APP_INFO(app);
        // An entry's own Path= wins over the folder we were given.
        const InFolder folder(g_desktop_app_info_has_key(info, "Path") ? "" : dir);
        ok = g_desktop_app_info_launch_uris_as_manager(
            info, list, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
            +[](GDesktopAppInfo*, GPid pid, gpointer user) {
                static_cast<KorvaneGioOutcome*>(user)->pid = pid;
            },
            outcome, &error);
    } else {
        const InFolder folder(dir);
        const auto context = PidNotingContext(outcome);
        ok = g_app_info_launch_uris(app, list, context.get(), &error);
    }
    g_list_free(list);
    if (!ok) {
        FailWith(outcome, error, "the application could not be started");
    }
    return ok ? 1 : 0;
}

// Arguments as the entry takes them: addresses as they are, files as file URIs.
std::vector<std::string> AsUris(const char* const* args, int argc) {
    std::vector<std::string> uris;
    for (int i = 0; i < argc; ++i) {
        const std::string a = args[i];
        if (a.find("://") != std::string::npos) {
            uris.push_back(a);
        } else {
            GObjectPtr<GFile> f(g_file_new_for_commandline_arg(a.c_str()));
            GString_ uri(g_file_get_uri(f.get()));
            uris.push_back(uri ? uri.get() : "");
        }
    }
    return uris;
}

int LaunchEntry(const char* desktopFile, const char* const* args, int argc, const char* dir,
                KorvaneGioOutcome* outcome) {
    GObjectPtr<GDesktopAppInfo> app(g_desktop_app_info_new_from_filename(desktopFile));
    if (!app) {
        Fail(outcome, "not a desktop entry that can be launched");
        return 0;
    }
    return LaunchApp(G_APP_INFO(app.get()), AsUris(args, argc), dir, outcome);
}

int OpenWithDefault(const char* file, const char* dir, KorvaneGioOutcome* outcome) {
    GObjectPtr<GFile> gfile(g_file_new_for_path(file));
    GError* error = nullptr;
    GObjectPtr<GFileInfo> info(g_file_query_info(gfile.get(),
                                                 G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                 G_FILE_QUERY_INFO_NONE, nullptr, &error));
    const char* type = info ? g_file_info_get_content_type(info.get()) : nullptr;
    if (!type) {
        FailWith(outcome, error, "the file's type is not known");
        return 0;
    }
    GObjectPtr<GAppInfo> app(g_app_info_get_default_for_type(type, FALSE));
    if (!app) {
        GString_ description(g_content_type_get_description(type));
        GString_ text(g_strdup_printf("no application is set to open %s files (%s)",
                                      description ? description.get() : type, type));
        Fail(outcome, text.get());
        return 0;
    }
    GString_ uri(g_file_get_uri(gfile.get()));
    return LaunchApp(app.get(), {uri ? uri.get() : ""}, dir, outcome);
}

int OpenUri(const char* uri, KorvaneGioOutcome* outcome) {
    GError* error = nullptr;
    const auto context = PidNotingContext(outcome);
    if (!g_app_info_launch_default_for_uri(uri, context.get(), &error)) {
        FailWith(outcome, error, "no application opens this address");
        return 0;
    }
    return 1;
}

int MarkTrusted(const char* file) {
    GObjectPtr<GFile> gfile(g_file_new_for_path(file));
    return g_file_set_attribute_string(gfile.get(), "metadata::trusted", "true",
                                       G_FILE_QUERY_INFO_NONE, nullptr, nullptr)
               ? 1
               : 0;
}

constexpr const char* kNotifications = "org.freedesktop.Notifications";
constexpr const char* kNotificationsPath = "/org/freedesktop/Notifications";

struct NotificationWait {
    guint32 id = 0;
    std::string openOnClick;
    GMainLoop* loop = nullptr;
};

void OnNotificationSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                          const gchar* signal, GVariant* parameters, gpointer user) {
    auto* wait = static_cast<NotificationWait*>(user);
    guint32 id = 0;
    if (g_str_equal(signal, "ActionInvoked")) {
        const gchar* action = nullptr;
        g_variant_get(parameters, "(u&s)", &id, &action);
        if (id != wait->id || !g_str_equal(action, "default")) {
            return;
        }
        if (!wait->openOnClick.empty()) {
            GObjectPtr<GFile> file(g_file_new_for_path(wait->openOnClick.c_str()));
            GString_ uri(g_file_get_uri(file.get()));
            (void)g_app_info_launch_default_for_uri(uri.get(), nullptr, nullptr);
        }
    } else {
        guint32 reason = 0;
        g_variant_get(parameters, "(uu)", &id, &reason);
        if (id != wait->id) {
            return;
        }
    }
    g_main_loop_quit(wait->loop);
}

// What the service says it can do, of what a notice needs to know.
struct Capabilities {
    bool actions = false;
    bool bodyMarkup = false;
};

Capabilities ServerCapabilities(GDBusConnection* bus) {
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kNotifications, kNotificationsPath, kNotifications, "GetCapabilities", nullptr,
        G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    Capabilities capabilities;
    if (!reply) {
        return capabilities;
    }
    GVariantIter* iter = nullptr;
    const gchar* capability = nullptr;
    g_variant_get(reply, "(as)", &iter);
    while (g_variant_iter_loop(iter, "&s", &capability)) {
        capabilities.actions = capabilities.actions || g_str_equal(capability, "actions");
        capabilities.bodyMarkup = capabilities.bodyMarkup || g_str_equal(capability, "body-markup");
    }
    g_variant_iter_free(iter);
    g_variant_unref(reply);
    return capabilities;
}

// Text as a service that reads markup shows it as it is. Not
// g_markup_escape_text: its "&#39;" is shown as such by services that let
// only the five named entities through.
std::string AsMarkupText(std::string_view text) {
    std::string markup;
    markup.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            markup += "&amp;";
            break;
        case '<':
            markup += "&lt;";
            break;
        case '>':
            markup += "&gt;";
            break;
        case '"':
            markup += "&quot;";
            break;
        case '\'':
            markup += "&apos;";
            break;
        default:
            markup += c;
        }
    }
    return markup;
}

// A session bus connection of the notice's own, made while the wait's
// context is the thread's default: its end is then told there, and ends the
// wait instead of the process (the shared one may belong to another context
// and exits the process when the bus goes).
GObjectPtr<GDBusConnection> OwnSessionBus() {
    GString_ address(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    if (!address) {
        return nullptr;
    }
    GObjectPtr<GDBusConnection> bus(g_dbus_connection_new_for_address_sync(
        address.get(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr));
    if (bus) {
        g_dbus_connection_set_exit_on_close(bus.get(), FALSE);
    }
    return bus;
}

void QuitWait(gpointer loop) {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
}

// Waits for the loop to be quit by the notice's own end, at most seconds.
// Nobody clicks a notice whose service or bus is gone, so either going ends
// the wait too; a service that is replaced takes its notices with it.
void WaitForTheNotice(GDBusConnection* bus, GMainContext* context, GMainLoop* loop, int seconds) {
    const gulong closed = g_signal_connect(
        bus, "closed",
        G_CALLBACK(+[](GDBusConnection*, gboolean, GError*, gpointer user) { QuitWait(user); }),
        loop);
    const guint service = g_bus_watch_name_on_connection(
        bus, kNotifications, G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
        +[](GDBusConnection*, const gchar*, gpointer user) { QuitWait(user); }, loop, nullptr);
    GSource* limit = g_timeout_source_new_seconds(static_cast<guint>(seconds));
    g_source_set_callback(
        limit,
        +[](gpointer user) -> gboolean {
            QuitWait(user);
            return G_SOURCE_REMOVE;
        },
        loop, nullptr);
    g_source_attach(limit, context);
    // A bus gone already may have said so before anybody listened.
    if (!g_dbus_connection_is_closed(bus)) {
        g_main_loop_run(loop);
    }
    g_source_destroy(limit);
    g_source_unref(limit);
    g_bus_unwatch_name(service);
    g_signal_handler_disconnect(bus, closed);
}

// A main context of its own, the thread's default for as long as it lives.
class OwnContext {
  public:
    OwnContext() : context_(g_main_context_new()) { g_main_context_push_thread_default(context_); }
    ~OwnContext() {
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }
    OwnContext(const OwnContext&) = delete;
    OwnContext& operator=(const OwnContext&) = delete;
    GMainContext* get() const { return context_; }

  private:
    GMainContext* context_;
};

int Notify(const char* appId, const char* summary, const char* body, const char* openOnClick,
           int waitSeconds) {
    const OwnContext context;
    const GObjectPtr<GDBusConnection> bus = OwnSessionBus();
    if (!bus) {
        return 0;
    }
    NotificationWait wait;
    wait.openOnClick = openOnClick ? openOnClick : "";
    wait.loop = g_main_loop_new(context.get(), FALSE);
    // Listening before the notification goes out: a click cannot come too early.
    const guint actionWatch = g_dbus_connection_signal_subscribe(
        bus.get(), nullptr, kNotifications, "ActionInvoked", kNotificationsPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, OnNotificationSignal, &wait, nullptr);
    const guint closeWatch = g_dbus_connection_signal_subscribe(
        bus.get(), nullptr, kNotifications, "NotificationClosed", kNotificationsPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, OnNotificationSignal, &wait, nullptr);
    const Capabilities capabilities = ServerCapabilities(bus.get());
    // A service that cannot take actions gets a plain notification, and
    // nobody waits for a click that cannot come.
    const bool clickable = !wait.openOnClick.empty() && capabilities.actions;
    // The body names the user's batches and items ("Tom & Jerry"), which are
    // no markup; the summary is never read as markup.
    const std::string text = capabilities.bodyMarkup ? AsMarkupText(body) : body;
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    if (clickable) {
        g_variant_builder_add(&actions, "s", "default");
        g_variant_builder_add(&actions, "s", "Show the report");
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(appId));
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus.get(), kNotifications, kNotificationsPath, kNotifications, "Notify",
        g_variant_new("(susssasa{sv}i)", "Korvane", 0u, appId, summary, text.c_str(), &actions,
                      &hints, -1),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    int shown = 0;
    if (reply) {
        g_variant_get(reply, "(u)", &wait.id);
        g_variant_unref(reply);
        shown = 1;
        if (clickable && waitSeconds > 0) {
            WaitForTheNotice(bus.get(), context.get(), wait.loop, waitSeconds);
        }
    }
    g_clear_error(&error);
    g_dbus_connection_signal_unsubscribe(bus.get(), actionWatch);
    g_dbus_connection_signal_unsubscribe(bus.get(), closeWatch);
    g_main_loop_unref(wait.loop);
    return shown;
}

} // namespace

extern "C" __attribute__((visibility("default"))) const KorvaneGio* korvane_gio_v2(void) {
    static const KorvaneGio services{LaunchEntry, OpenWithDefault, OpenUri, MarkTrusted, Notify};
    return &services;
}
