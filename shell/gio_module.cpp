// The GIO module: what the freedesktop backend needs GIO for.
#include "shell/gio_module.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <fcntl.h>
#include <memory>
#include <string>
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

int LaunchApp(GAppInfo* app, const std::vector<std::string>& uris, const char* dir) {
    GList* list = nullptr;
    for (const std::string& uri : uris) {
        list = g_list_append(list, const_cast<char*>(uri.c_str()));
    }
    gboolean ok = FALSE;
    if (G_IS_DESKTOP_APP_INFO(app)) {
        auto* info = G_DESKTOP_APP_INFO(app);
        // An entry's own Path= wins over the folder we were given.
        const InFolder folder(g_desktop_app_info_has_key(info, "Path") ? "" : dir);
        ok = g_desktop_app_info_launch_uris_as_manager(info, list, nullptr, G_SPAWN_SEARCH_PATH,
                                                       nullptr, nullptr, nullptr, nullptr, nullptr);
    } else {
        const InFolder folder(dir);
        ok = g_app_info_launch_uris(app, list, nullptr, nullptr);
    }
    g_list_free(list);
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

int LaunchEntry(const char* desktopFile, const char* const* args, int argc, const char* dir) {
    GObjectPtr<GDesktopAppInfo> app(g_desktop_app_info_new_from_filename(desktopFile));
    return app ? LaunchApp(G_APP_INFO(app.get()), AsUris(args, argc), dir) : 0;
}

int OpenWithDefault(const char* file, const char* dir) {
    GObjectPtr<GFile> gfile(g_file_new_for_path(file));
    GObjectPtr<GFileInfo> info(g_file_query_info(gfile.get(),
                                                 G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                 G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
    const char* type = info ? g_file_info_get_content_type(info.get()) : nullptr;
    if (!type) {
        return 0;
    }
    GObjectPtr<GAppInfo> app(g_app_info_get_default_for_type(type, FALSE));
    if (!app) {
        return 0;
    }
    GString_ uri(g_file_get_uri(gfile.get()));
    return LaunchApp(app.get(), {uri ? uri.get() : ""}, dir);
}

int OpenUri(const char* uri) {
    return g_app_info_launch_default_for_uri(uri, nullptr, nullptr) ? 1 : 0;
}

int MarkTrusted(const char* file) {
    GObjectPtr<GFile> gfile(g_file_new_for_path(file));
    return g_file_set_attribute_string(gfile.get(), "metadata::trusted", "true",
                                       G_FILE_QUERY_INFO_NONE, nullptr, nullptr)
               ? 1
               : 0;
}

} // namespace

extern "C" __attribute__((visibility("default"))) const KorvaneGio* korvane_gio_v1(void) {
    static const KorvaneGio services{LaunchEntry, OpenWithDefault, OpenUri, MarkTrusted};
    return &services;
}
