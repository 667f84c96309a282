// A simulated device's HTTP answers: the description at its LOCATION path, one SCPD, control
// and event URL per service, the presentation page, 404 for anything else; each shaped by
// the device's quirks for that path.

#include <algorithm>

#include "tools/nas-sim/DescriptionWriter.h"
#include "tools/nas-sim/HttpResponseWriter.h"
#include "tools/nas-sim/SimDevice.h"
#include "tools/nas-sim/SoapResponder.h"

namespace nassim {

namespace {

// The path of a request target: the absolute form loses scheme and authority, the query goes.
std::string requestPath(const std::string& target) {
    std::string path = target;
    size_t scheme = path.find("://");
    if (scheme != std::string::npos && path[0] != '/') {
        size_t slash = path.find('/', scheme + 3);
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    size_t query = path.find('?');
    if (query != std::string::npos) path.resize(query);
    return path;
}

bool listed(const std::vector<std::string>& paths, const std::string& path) {
    return std::find(paths.begin(), paths.end(), path) != paths.end();
}

// Finds the resource a path names: its kind and, for service URLs, service and device.
std::string resourceKind(DeviceDef& d, const std::string& path, ServiceDef** service,
                         DeviceDef** owner) {
    if (listed(d.presentationPaths, path)) {
        *owner = &d;
        return "presentation";
    }
    for (ServiceDef& s : d.services) {
        const char* kind = listed(s.scpdPaths, path)      ? "scpd"
                           : listed(s.controlPaths, path) ? "control"
                           : listed(s.eventPaths, path)   ? "event"
                                                          : nullptr;
        if (kind) {
            *service = &s;
            *owner = &d;
            return kind;
        }
    }
    for (DeviceDef& e : d.embedded) {
        std::string kind = resourceKind(e, path, service, owner);
        if (!kind.empty()) return kind;
    }
    return {};
}

HttpAnswer plain(int status, const std::string& text) {
    return HttpAnswer{status, "text/plain", {}, text + "\n"};
}

}  // namespace

HttpReply SimDevice::route(const HttpRequest& request) {
    std::string path = requestPath(request.target);
    ServiceDef* service = nullptr;
    DeviceDef* owner = &def_.device;
    std::string kind = path == requestPath(def_.descriptionPath)
                           ? "description"
                           : resourceKind(def_.device, path, &service, &owner);
    HttpShape shape = HttpShape::lookup(def_.http, kind, path);
    std::string note;
    HttpAnswer answer = answerFor(request, kind, path, service, owner, &note);
    HttpReply reply;
    if (note == "dropped") shape.drop = true;
    reply.close = shape.mode == BodyMode::UntilClose || shape.connection == "close" ||
                  (shape.connection == "auto" && !request.wantsKeepAlive());
    reply.bytes = frameResponse(answer, shape, reply.close);
    if (request.method == "HEAD") reply.bytes.resize(reply.bytes.find("\r\n\r\n") + 4);
    reply.delayMs = shape.delayMs;
    reply.drop = shape.drop;
    reply.dribbleBytes = shape.dribbleBytes;
    reply.dribbleMs = shape.dribbleMs;
    int status = shape.status ? shape.status : answer.status;
    hooks_.log.line("http " + name() + " " + request.method + " " + path + " " +
                    (reply.drop ? std::string("dropped") : std::to_string(status)) +
                    (note.empty() || note == "dropped" ? "" : " " + note));
    return reply;
}

HttpAnswer SimDevice::answerFor(const HttpRequest& request, const std::string& kind,
                                const std::string& path, ServiceDef* service, DeviceDef* owner,
                                std::string* note) {
    bool get = request.method == "GET" || request.method == "HEAD";
    if (kind.empty()) return plain(404, "no such resource: " + path);
    if (kind == "event") return answerEvent(request, note);
    if (kind == "control") {
        if (request.method != "POST") return plain(405, "control URLs take POST");
        const std::string* action = request.header("SOAPACTION");
        SoapAnswer soap = answerSoap(action ? *action : "", request.body, *service, *owner,
                                     SoapQuirk::fromJson(def_.soap));
        *note = soap.drop ? "dropped" : soap.note;
        return HttpAnswer{soap.status, "text/xml; charset=\"utf-8\"", {{"EXT", ""}}, soap.body};
    }
    if (!get) return plain(405, "method not allowed");
    if (kind == "description")
        return HttpAnswer{200, "text/xml; charset=\"utf-8\"", {}, writeDeviceDescription(def_)};
    if (kind == "scpd")
        return HttpAnswer{
            200, "text/xml; charset=\"utf-8\"", {}, writeServiceDescription(*service)};
    std::string title = owner->friendlyName.value_or(owner->name);
    return HttpAnswer{200,
                      "text/html; charset=utf-8",
                      {},
                      "<html><head><title>" + title + "</title></head><body><h1>" + title +
                          "</h1><p>Configuration</p></body></html>\n"};
}

HttpAnswer SimDevice::answerEvent(const HttpRequest& request, std::string* note) {
    const std::string* sid = request.header("SID");
    if (request.method == "SUBSCRIBE") {
        if (sid) {
            if (!subscriptions_.count(*sid)) return plain(412, "unknown subscription");
            *note = "renew " + *sid;
            return HttpAnswer{200, "text/plain", {{"SID", *sid}, {"TIMEOUT", "Second-1800"}}, ""};
        }
        const std::string* callback = request.header("CALLBACK");
        const std::string* nt = request.header("NT");
        if (!callback || !nt || *nt != "upnp:event") return plain(412, "CALLBACK and NT required");
        std::string newSid = def_.device.udn + "-sub" + std::to_string(nextSid_++);
        subscriptions_.insert(newSid);
        *note = "subscribe " + newSid;
        return HttpAnswer{200, "text/plain", {{"SID", newSid}, {"TIMEOUT", "Second-1800"}}, ""};
    }
    if (request.method == "UNSUBSCRIBE") {
        if (!sid || !subscriptions_.erase(*sid)) return plain(412, "unknown subscription");
        *note = "unsubscribe " + *sid;
        return HttpAnswer{200, "text/plain", {}, ""};
    }
    return plain(405, "event URLs take SUBSCRIBE and UNSUBSCRIBE");
}

}  // namespace nassim
