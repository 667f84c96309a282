/* The peer of the search benchmark: GUPnP 1.6's control point on loopback,
 * searching for LuNAS:1 devices. Like `norvale-discovery --watch` it lists a
 * device once its description and every service description are read, and
 * prints one JSON line per device listed:
 *
 *   {"event":"added","name":"<friendlyName>","udn":"<udn>"}
 *
 * It runs for the seconds given (default 10), then exits 0. Run it only
 * inside the loopback-only namespace: it searches on 127.0.0.1.
 *
 *   gupnp-watch [SECONDS]
 */
#include <libgupnp/gupnp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* One device whose service descriptions are being read. */
typedef struct {
    GUPnPDeviceInfo* device;
    int pending; /* service descriptions still outstanding */
    gboolean failed;
} Listing;

static void PrintJsonString(const char* text) {
    putchar('"');
    for (const unsigned char* c = (const unsigned char*)(text != NULL ? text : ""); *c; ++c) {
        if (*c == '"' || *c == '\\') {
            printf("\\%c", *c);
        } else if (*c < 0x20) {
            printf("\\u%04x", *c);
        } else {
            putchar(*c);
        }
    }
    putchar('"');
}

static void ListDevice(GUPnPDeviceInfo* device) {
    char* name = gupnp_device_info_get_friendly_name(device);
    printf("{\"event\":\"added\",\"name\":");
    PrintJsonString(name);
    printf(",\"udn\":");
    PrintJsonString(gupnp_device_info_get_udn(device));
    printf("}\n");
    fflush(stdout);
    g_free(name);
}

static void SettleOne(Listing* listing) {
    if (--listing->pending > 0) return;
    if (!listing->failed) ListDevice(listing->device);
    g_object_unref(listing->device);
    g_free(listing);
}

static void OnIntrospected(GObject* source, GAsyncResult* result, gpointer user) {
    Listing* listing = user;
    GError* error = NULL;
    GUPnPServiceIntrospection* introspection =
        gupnp_service_info_introspect_finish(GUPNP_SERVICE_INFO(source), result, &error);
    if (introspection == NULL) {
        listing->failed = TRUE;
        g_clear_error(&error);
    } else {
        g_object_unref(introspection);
    }
    SettleOne(listing);
}

static void OnDeviceAvailable(GUPnPControlPoint* cp, GUPnPDeviceProxy* proxy, gpointer user) {
    (void)cp;
    (void)user;
    Listing* listing = g_new0(Listing, 1);
    listing->device = g_object_ref(GUPNP_DEVICE_INFO(proxy));
    listing->pending = 1; /* held until every request is queued */
    GList* services = gupnp_device_info_list_services(listing->device);
    for (GList* s = services; s != NULL; s = s->next) {
        ++listing->pending;
        gupnp_service_info_introspect_async(GUPNP_SERVICE_INFO(s->data), NULL, OnIntrospected,
                                            listing);
    }
    g_list_free_full(services, g_object_unref);
    SettleOne(listing);
}

static gboolean OnTimeout(gpointer loop) {
    g_main_loop_quit(loop);
    return G_SOURCE_REMOVE;
}

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? atoi(argv[1]) : 10;
    GError* error = NULL;
    GInetAddress* loopback = g_inet_address_new_from_string("127.0.0.1");
    GUPnPContext* context = NULL;
    /* The library picks its HTTP port at random and fails when that port is
     * still taken (by a connection of an earlier run): a few more tries. */
    for (int attempt = 0; attempt < 10 && context == NULL; ++attempt) {
        g_clear_error(&error);
        context = gupnp_context_new_full("lo", loopback, 0, GSSDP_UDA_VERSION_1_0, &error);
    }
    g_object_unref(loopback);
    if (context == NULL) {
        fprintf(stderr, "gupnp-watch: %s\n", error != NULL ? error->message : "no context");
        return 1;
    }
    GUPnPControlPoint* cp = gupnp_control_point_new(context, "urn:schemas-upnp-org:device:LuNAS:1");
    g_signal_connect(cp, "device-proxy-available", G_CALLBACK(OnDeviceAvailable), NULL);
    gssdp_resource_browser_set_active(GSSDP_RESOURCE_BROWSER(cp), TRUE);
    GMainLoop* loop = g_main_loop_new(NULL, FALSE);
    g_timeout_add_seconds((guint)(seconds > 0 ? seconds : 10), OnTimeout, loop);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    g_object_unref(cp);
    g_object_unref(context);
    return 0;
}
