// Named parameters set from script text: an accessor table and a bound table per object.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

enum class ParameterKind : int { Int = 0, Float = 1, String = 2, Bool = 3 };

class ParameterSet {
public:
    using Getter = std::function<std::string()>;
    using Setter = std::function<bool(const std::string&)>;
    using ChangeHandler = std::function<void()>;

    struct AccessorParameter {
        int32_t id = 0;
        Getter get;
        Setter set;
        std::string name;
        ParameterKind kind = ParameterKind::String;  // how set reads its text
    };
    struct BoundParameter {
        ParameterKind kind = ParameterKind::Float;
        void* target = nullptr;  // int32_t*, float*, std::string* or bool* according to kind
        ChangeHandler onChange;
        std::string name;
    };

    ParameterSet() = default;
    virtual ~ParameterSet();
    ParameterSet(const ParameterSet&) = delete;
    ParameterSet& operator=(const ParameterSet&) = delete;

    // Bound names win over accessor names. An unknown name is fatal ("Could not find
    // Parameter [%s]...") with the listing of every accepted name.
    bool SetParameter(const std::string& name, const std::string& value);

    // " - name\r\n" per parameter: accessors in byte order, then bound ones in byte order.
    std::string ListParameters() const;

    // Table lookups; nullptr when the name is not in that table.
    const AccessorParameter* FindAccessor(const std::string& name) const;
    const BoundParameter* FindBound(const std::string& name) const;
    size_t GetAccessorCount() const { return accessors_.size(); }
    size_t GetBoundCount() const { return bound_.size(); }
    // Names of each table in byte order (references describe parameters from them).
    std::vector<std::string> GetAccessorNames() const;
    std::vector<std::string> GetBoundNames() const;
    // A bound parameter's current value as text ("%g" for floats, "Yes"/"No" for flags).
    static std::string FormatBound(const BoundParameter& parameter);

protected:
    // Constructors only. A name is bound at most once and declared as accessor at most
    // once (an accessor may repeat a bound name; the bound one wins). Fatal otherwise.
    void AddAccessor(int32_t id, Getter get, Setter set, const std::string& name,
                     ParameterKind kind = ParameterKind::String);
    void Bind(const std::string& name, ParameterKind kind, void* target, ChangeHandler onChange = {});
    void BindInt(const std::string& name, int32_t* target, ChangeHandler onChange = {});
    void BindFloat(const std::string& name, float* target, ChangeHandler onChange = {});
    void BindString(const std::string& name, std::string* target, ChangeHandler onChange = {});
    void BindBool(const std::string& name, bool* target, ChangeHandler onChange = {});

    // Accessors with the system's standard text formats. onSet runs after every set.
    // Integer: set "%i" (0x.. hex, 0.. octal), get "%d". Float: set "%f", get "%.2f".
    // Unparsable text keeps the old value. Text: copied unchanged. Bool: "Yes" is true,
    // get gives "Yes" or "No". Every set returns true.
    void AddIntAccessor(int32_t id, const std::string& name, int32_t* target, ChangeHandler onSet = {});
    void AddFloatAccessor(int32_t id, const std::string& name, float* target, ChangeHandler onSet = {});
    void AddStringAccessor(int32_t id, const std::string& name, std::string* target, ChangeHandler onSet = {});
    void AddBoolAccessor(int32_t id, const std::string& name, bool* target, ChangeHandler onSet = {});

private:
    void CheckNewName(const std::string& name, bool bound) const;

    std::map<std::string, AccessorParameter> accessors_;
    std::map<std::string, BoundParameter> bound_;
};
