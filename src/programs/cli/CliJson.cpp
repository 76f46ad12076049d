#include "cli/CliJson.h"

#include <ostream>

namespace {

std::string Scalar(const CliJson& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void Write(const CliJson& value, std::string& out) {
    if (value.is_object()) {
        out += '{';
        bool first = true;
        for (const auto& [key, member] : value.items()) {
            out += first ? "" : ", ";
            out += Scalar(CliJson(key));
            out += ": ";
            Write(member, out);
            first = false;
        }
        out += '}';
    } else if (value.is_array()) {
        out += '[';
        bool first = true;
        for (const CliJson& element : value) {
            out += first ? "" : ", ";
            Write(element, out);
            first = false;
        }
        out += ']';
    } else {
        out += Scalar(value);
    }
}

} // namespace

std::string CliJsonText(const CliJson& value) {
    std::string out;
    Write(value, out);
    return out;
}

void PrintJson(std::ostream& out, const CliJson& value) {
    out << CliJsonText(value) << "\n";
}
