#include "tools/nas-sim/HttpShape.h"

#include <stdexcept>

namespace nassim {

namespace {

int intField(const nlohmann::json& value, const std::string& key, int low, int high) {
    if (!value.is_number_integer())
        throw std::runtime_error("http quirk " + key + ": not an integer");
    int v = value.get<int>();
    if (v < low || v > high) throw std::runtime_error("http quirk " + key + ": out of range");
    return v;
}

bool boolField(const nlohmann::json& value, const std::string& key) {
    if (!value.is_boolean()) throw std::runtime_error("http quirk " + key + ": not a boolean");
    return value.get<bool>();
}

std::string textField(const nlohmann::json& value, const std::string& key) {
    if (!value.is_string()) throw std::runtime_error("http quirk " + key + ": not a string");
    return value.get<std::string>();
}

BodyMode bodyModeFrom(const std::string& text) {
    if (text == "content-length") return BodyMode::ContentLength;
    if (text == "chunked") return BodyMode::Chunked;
    if (text == "until-close") return BodyMode::UntilClose;
    throw std::runtime_error(
        "http quirk bodyMode: expected content-length, chunked or until-close");
}

}  // namespace

void HttpShape::apply(const nlohmann::json& quirk) {
    if (!quirk.is_object()) throw std::runtime_error("http quirk: not an object");
    for (const auto& [key, value] : quirk.items()) {
        if (key == "bodyMode")
            mode = bodyModeFrom(textField(value, key));
        else if (key == "chunkSize")
            chunkSize = intField(value, key, 1, 1 << 20);
        else if (key == "chunkExtensions")
            chunkExtensions = boolField(value, key);
        else if (key == "trailer")
            trailer = boolField(value, key);
        else if (key == "status")
            status = intField(value, key, 100, 999);
        else if (key == "delayMs")
            delayMs = intField(value, key, 0, 3600000);
        else if (key == "malformed")
            malformed = boolField(value, key);
        else if (key == "empty")
            empty = boolField(value, key);
        else if (key == "drop")
            drop = boolField(value, key);
        else if (key == "body")
            body = textField(value, key);
        else if (key == "dribbleBytes")
            dribbleBytes = intField(value, key, 0, 1 << 20);
        else if (key == "dribbleMs")
            dribbleMs = intField(value, key, 0, 60000);
        else if (key == "upperCaseHeaders")
            upperCaseHeaders = boolField(value, key);
        else if (key == "contentType")
            contentType = textField(value, key);
        else if (key == "httpVersion") {
            version = textField(value, key);
            if (version != "1.0" && version != "1.1")
                throw std::runtime_error("http quirk httpVersion: expected 1.0 or 1.1");
        } else if (key == "connection") {
            connection = textField(value, key);
            if (connection != "auto" && connection != "close" && connection != "keep-alive")
                throw std::runtime_error(
                    "http quirk connection: expected auto, close or keep-alive");
        } else {
            throw std::runtime_error("http quirk: unknown key " + key);
        }
    }
}

HttpShape HttpShape::lookup(const nlohmann::json& quirks, const std::string& kind,
                            const std::string& path) {
    HttpShape shape;
    if (!quirks.is_object()) return shape;
    for (const std::string& key : {std::string("*"), kind, path}) {
        auto it = quirks.find(key);
        if (it != quirks.end()) shape.apply(*it);
    }
    return shape;
}

}  // namespace nassim
