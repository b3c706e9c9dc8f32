// A desktop notification service for tests: owns org.freedesktop.Notifications
// on the session bus and writes each notification it is asked to show as a
// line "summary<US>body<US>actions" to the log file.
//   notification_service LOG click|close|keep|leave [body-markup]
// "click" answers each notification that offers it with a click on its
// default action, "close" closes each one at once, as a user who dismisses it.
// "keep" leaves each one open; "leave" gives up the service's name once it
// has answered, as a service that ends or is replaced. "body-markup" has it
// say that it reads markup in the body (the log keeps the body as it came).
#include <gio/gio.h>

#include <fstream>
#include <string>

namespace {

constexpr const char* kInterface = R"(
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="out"/>
    </method>
    <method name="CloseNotification"><arg type="u" direction="in"/></method>
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="GetServerInformation">
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
      <arg type="s" direction="out"/><arg type="s" direction="out"/>
    </method>
    <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
    <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
  </interface>
</node>)";

std::string logFile;
std::string mode;
bool bodyMarkup = false;
guint ownerId = 0;
guint32 lastId = 0;

void Emit(GDBusConnection* bus, const char* signal, GVariant* parameters) {
    g_dbus_connection_emit_signal(bus, nullptr, "/org/freedesktop/Notifications",
                                  "org.freedesktop.Notifications", signal, parameters, nullptr);
}

void OnCall(GDBusConnection* bus, const gchar*, const gchar*, const gchar*, const gchar* method,
            GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
    if (g_str_equal(method, "Notify")) {
        const gchar *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
        guint32 replaces = 0;
        GVariantIter* actions = nullptr;
        GVariant* hints = nullptr;
        gint32 timeout = 0;
        g_variant_get(parameters, "(&su&s&s&sas@a{sv}i)", &app, &replaces, &icon, &summary, &body,
                      &actions, &hints, &timeout);
        std::string actionList;
        bool hasDefault = false;
        const gchar* action = nullptr;
        while (g_variant_iter_loop(actions, "&s", &action)) {
            actionList += std::string(actionList.empty() ? "" : ",") + action;
            hasDefault = hasDefault || g_str_equal(action, "default");
        }
        g_variant_iter_free(actions);
        g_variant_unref(hints);
        const guint32 id = ++lastId;
        {
            std::ofstream log(logFile, std::ios::app | std::ios::binary);
            log << summary << '\x1f' << body << '\x1f' << actionList << '\n';
        }
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", id));
        const bool click = mode == "click";
        if (click && hasDefault) {
            Emit(bus, "ActionInvoked", g_variant_new("(us)", id, "default"));
        }
        if (click || mode == "close") {
            Emit(bus, "NotificationClosed", g_variant_new("(uu)", id, click ? 2u : 1u));
        } else if (mode == "leave" && ownerId != 0) {
            g_bus_unown_name(ownerId);
            ownerId = 0;
        }
    } else if (g_str_equal(method, "GetCapabilities")) {
        const gchar* caps[] = {"actions", "body", bodyMarkup ? "body-markup" : nullptr, nullptr};
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(^as)", caps));
    } else if (g_str_equal(method, "GetServerInformation")) {
        g_dbus_method_invocation_return_value(
            invocation, g_variant_new("(ssss)", "test", "korvane", "1", "1.2"));
    } else {
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    logFile = argv[1];
    mode = argv[2];
    bodyMarkup = argc > 3 && std::string(argv[3]) == "body-markup";
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) {
        return 1;
    }
    static const GDBusInterfaceVTable vtable{OnCall, nullptr, nullptr, {}};
    g_dbus_connection_register_object(bus, "/org/freedesktop/Notifications", node->interfaces[0],
                                      &vtable, nullptr, nullptr, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    ownerId = g_bus_own_name_on_connection(
        bus, "org.freedesktop.Notifications", G_BUS_NAME_OWNER_FLAGS_NONE,
        +[](GDBusConnection*, const gchar*, gpointer) {
            std::ofstream(logFile + ".ready") << "ready\n";
        },
        nullptr, nullptr, nullptr);
    g_main_loop_run(loop);
    return 0;
}
