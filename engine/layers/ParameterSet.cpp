// Named parameters: table filling, the text-to-value rules and the unknown-name report.
#include "engine/layers/ParameterSet.h"

#include <cstdio>
#include <cstdlib>
#include "engine/core/Fatal.h"

ParameterSet::~ParameterSet() = default;

void ParameterSet::CheckNewName(const std::string& name, bool bound) const {
    // An accessor may shadow a name bound earlier (the bound one wins); anything else twice
    // is a programming error.
    if (accessors_.count(name) != 0 || (bound && bound_.count(name) != 0))
        ReportFatal("Parameter [%s] is declared twice.", name.c_str());
}

void ParameterSet::AddAccessor(int32_t id, Getter get, Setter set, const std::string& name, ParameterKind kind) {
    CheckNewName(name, false);
    accessors_.emplace(name, AccessorParameter{id, std::move(get), std::move(set), name, kind});
}

void ParameterSet::Bind(const std::string& name, ParameterKind kind, void* target, ChangeHandler onChange) {
    CheckNewName(name, true);
    bound_.emplace(name, BoundParameter{kind, target, std::move(onChange), name});
}

void ParameterSet::BindInt(const std::string& name, int32_t* target, ChangeHandler onChange) {
    Bind(name, ParameterKind::Int, target, std::move(onChange));
}

void ParameterSet::BindFloat(const std::string& name, float* target, ChangeHandler onChange) {
    Bind(name, ParameterKind::Float, target, std::move(onChange));
}

void ParameterSet::BindString(const std::string& name, std::string* target, ChangeHandler onChange) {
    Bind(name, ParameterKind::String, target, std::move(onChange));
}

void ParameterSet::BindBool(const std::string& name, bool* target, ChangeHandler onChange) {
    Bind(name, ParameterKind::Bool, target, std::move(onChange));
}

void ParameterSet::AddIntAccessor(int32_t id, const std::string& name, int32_t* target, ChangeHandler onSet) {
    AddAccessor(
        id,
        [target] {
            char text[32];
            std::snprintf(text, sizeof text, "%d", *target);
            return std::string(text);
        },
        [target, onSet](const std::string& value) {
            int parsed = 0;
            if (std::sscanf(value.c_str(), "%i", &parsed) == 1) *target = parsed;
            if (onSet) onSet();
            return true;
        },
        name, ParameterKind::Int);
}

void ParameterSet::AddFloatAccessor(int32_t id, const std::string& name, float* target, ChangeHandler onSet) {
    AddAccessor(
        id,
        [target] {
            // Wide enough for any float in "%.2f" (up to 3.4e38 plus sign and decimals).
            char text[64];
            std::snprintf(text, sizeof text, "%.2f", static_cast<double>(*target));
            return std::string(text);
        },
        [target, onSet](const std::string& value) {
            float parsed = 0.0f;
            if (std::sscanf(value.c_str(), "%f", &parsed) == 1) *target = parsed;
            if (onSet) onSet();
            return true;
        },
        name, ParameterKind::Float);
}

void ParameterSet::AddStringAccessor(int32_t id, const std::string& name, std::string* target, ChangeHandler onSet) {
    AddAccessor(
        id, [target] { return *target; },
        [target, onSet](const std::string& value) {
            *target = value;
            if (onSet) onSet();
            return true;
        },
        name, ParameterKind::String);
}

void ParameterSet::AddBoolAccessor(int32_t id, const std::string& name, bool* target, ChangeHandler onSet) {
    AddAccessor(
        id, [target] { return std::string(*target ? "Yes" : "No"); },
        [target, onSet](const std::string& value) {
            *target = value == "Yes";
            if (onSet) onSet();
            return true;
        },
        name, ParameterKind::Bool);
}

bool ParameterSet::SetParameter(const std::string& name, const std::string& value) {
    auto bound = bound_.find(name);
    if (bound != bound_.end()) {
        BoundParameter& parameter = bound->second;
        switch (parameter.kind) {
        case ParameterKind::Int:
            *static_cast<int32_t*>(parameter.target) = std::atoi(value.c_str());
            break;
        case ParameterKind::Float:
            *static_cast<float*>(parameter.target) = static_cast<float>(std::atof(value.c_str()));
            break;
        case ParameterKind::String:
            *static_cast<std::string*>(parameter.target) = value;
            break;
        case ParameterKind::Bool:
            *static_cast<bool*>(parameter.target) = value == "Yes";
            break;
        }
        if (parameter.onChange) parameter.onChange();
        return true;
    }
    auto accessor = accessors_.find(name);
    if (accessor != accessors_.end() && accessor->second.set) return accessor->second.set(value);
    ReportFatal("Could not find Parameter [%s]\r\n Available are : \r\n%s", name.c_str(), ListParameters().c_str());
}

std::string ParameterSet::ListParameters() const {
    std::string listing;
    for (const auto& entry : accessors_) listing += " - " + entry.first + "\r\n";
    for (const auto& entry : bound_) listing += " - " + entry.first + "\r\n";
    return listing;
}

const ParameterSet::AccessorParameter* ParameterSet::FindAccessor(const std::string& name) const {
    auto found = accessors_.find(name);
    return found == accessors_.end() ? nullptr : &found->second;
}

const ParameterSet::BoundParameter* ParameterSet::FindBound(const std::string& name) const {
    auto found = bound_.find(name);
    return found == bound_.end() ? nullptr : &found->second;
}

std::vector<std::string> ParameterSet::GetAccessorNames() const {
    std::vector<std::string> names;
    for (const auto& entry : accessors_) names.push_back(entry.first);
    return names;
}

std::vector<std::string> ParameterSet::GetBoundNames() const {
    std::vector<std::string> names;
    for (const auto& entry : bound_) names.push_back(entry.first);
    return names;
}

std::string ParameterSet::FormatBound(const BoundParameter& parameter) {
    char text[64];
    switch (parameter.kind) {
    case ParameterKind::Int:
        std::snprintf(text, sizeof text, "%d", *static_cast<const int32_t*>(parameter.target));
        return text;
    case ParameterKind::Float:
        std::snprintf(text, sizeof text, "%g", *static_cast<const float*>(parameter.target));
        return text;
    case ParameterKind::Bool:
        return *static_cast<const bool*>(parameter.target) ? "Yes" : "No";
    case ParameterKind::String:
        break;
    }
    return *static_cast<const std::string*>(parameter.target);
}
