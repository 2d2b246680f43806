#pragma once

// Python-like text of an unpickled value, so tests can state whole values in one line.

#include <cstdio>
#include <string>

#include "RarivOredu/checkpoint/PickleValue.h"

namespace checkpointtest {

inline std::string quoted(const std::string& text, bool bytes) {
    std::string out = bytes ? "b'" : "'";
    for (unsigned char c : text) {
        if (bytes && (c < 0x20 || c >= 0x7f)) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "'";
}

inline std::string repr(const rarivoredu::PickleValue& value, int depth = 0) {
    using Type = rarivoredu::PickleValue::Type;
    if (depth > 20) return "...";
    auto join = [&](const std::vector<rarivoredu::PickleValue>& items) {
        std::string out;
        for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + repr(items[i], depth + 1);
        return out;
    };
    auto dict = [&](const rarivoredu::PickleValue& v) {
        std::string out = "{";
        bool first = true;
        for (const auto& [key, item] : v.dictItems()) {
            out += (first ? "" : ", ") + repr(key, depth + 1) + ": " + repr(item, depth + 1);
            first = false;
        }
        return out + "}";
    };
    switch (value.type()) {
        case Type::none: return "None";
        case Type::boolean: return value.asBool() ? "True" : "False";
        case Type::integer: return std::to_string(value.asInt());
        case Type::bigInteger: return "big" + quoted(value.asBytes(), true).substr(1);
        case Type::floating: {
            char text[32];
            std::snprintf(text, sizeof text, "%g", value.asDouble());
            return text;
        }
        case Type::string: return quoted(value.asString(), false);
        case Type::bytes: return quoted(value.asBytes(), true);
        case Type::list: return "[" + join(value.items()) + "]";
        case Type::tuple: {
            const auto items = value.items();
            return "(" + join(items) + (items.size() == 1 ? ",)" : ")");
        }
        case Type::dict: {
            const std::string text = dict(value);
            return value.state().isNone() ? text : text + "+" + repr(value.state(), depth + 1);
        }
        case Type::set: return value.size() ? "{" + join(value.items()) + "}" : "set()";
        case Type::frozenset: return "frozenset({" + join(value.items()) + "})";
        case Type::global: return value.moduleName() + "." + value.className();
        case Type::object: {
            std::string text = value.moduleName() + "." + value.className() + repr(value.arguments(), depth + 1);
            if (!value.keywordArguments().isNone()) text += "**" + repr(value.keywordArguments(), depth + 1);
            if (!value.items().empty()) text += "[" + join(value.items()) + "]";
            if (!value.dictItems().empty()) text += dict(value);
            if (!value.state().isNone()) text += "+" + repr(value.state(), depth + 1);
            return text;
        }
        case Type::storage:
            return std::string("storage(") + rarivoredu::TensorRecord::name(value.storageDType()) + ", '" +
                   value.storageKey() + "', " + std::to_string(value.storageSize()) + ")";
        case Type::tensor: {
            const auto& tensor = value.tensor();
            std::string shape;
            for (std::size_t i = 0; i < tensor.shape.size(); ++i) shape += (i ? ", " : "") + std::to_string(tensor.shape[i]);
            return std::string("tensor(") + rarivoredu::TensorRecord::name(tensor.dtype) + ", [" + shape + "])";
        }
        case Type::dtype: return std::string("torch.") + rarivoredu::TensorRecord::name(value.dtype());
    }
    return "?";
}

}  // namespace checkpointtest
