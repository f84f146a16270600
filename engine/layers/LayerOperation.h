// Layer operations as parsed from the script: what the timeline asks of the layer stack, and what a layer's nested CREATE bodies hold.
#pragma once
#include <string>
#include <vector>

// One "name value" line inside an operation, the value kept as unparsed text.
struct ParameterAssignment {
    std::string name;
    std::string value;
    int line = 0;  // script line it came from (0: not from a script file)
};

enum class OperationKind : int { Create = 0, Update = 1, Delete = 2, End = 3, Other = 4 };
enum class MoveKind : int { Top = 0, Bottom = 1, None = 2 };

struct LayerOperation {
    std::string target;   // CREATE: type name; UPDATE/DELETE: layer name; END: empty
    std::string newName;  // CREATE: the NAME given to the new layer
    OperationKind kind = OperationKind::Other;
    bool insertAtBottom = false;
    MoveKind move = MoveKind::None;
    bool restart = false;
    std::vector<ParameterAssignment> assignments;
    std::vector<LayerOperation> children;  // CREATE operations nested in a CREATE body
    int line = 0;  // script line of its CREATE, UPDATE, DELETE or END (0: not from a script file)
};
