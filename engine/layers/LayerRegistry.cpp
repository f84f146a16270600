// The process-wide layer type registry and creation by type name.
#include "engine/layers/LayerRegistry.h"

#include "engine/core/Fatal.h"

LayerRegistry& LayerRegistry::Instance() {
    static LayerRegistry registry;
    return registry;
}

void LayerRegistry::Register(const std::string& typeName, std::unique_ptr<LayerFactory> factory) {
    factories_.emplace(typeName, std::move(factory));
}

std::unique_ptr<Layer> LayerRegistry::CreateLayer(RenderDevice& device,
                                                  const std::vector<LayerOperation>& nestedOperations,
                                                  const std::string& typeName) const {
    auto found = factories_.find(typeName);
    if (found != factories_.end()) {
        std::unique_ptr<Layer> layer = found->second->Create(device, nestedOperations);
        layer->SetTypeName(typeName);
        return layer;
    }
    std::string listing;
    for (const auto& entry : factories_) listing += " - " + entry.first + "\r\n";
    ReportFatal("Could not find LayerEffect [%s].\r\n Available are : \r\n%s", typeName.c_str(), listing.c_str());
}

bool LayerRegistry::Contains(const std::string& typeName) const {
    return factories_.count(typeName) != 0;
}

std::vector<std::string> LayerRegistry::GetNames() const {
    std::vector<std::string> names;
    for (const auto& entry : factories_) names.push_back(entry.first);
    return names;
}

std::unique_ptr<Layer> CreateLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations,
                                   const std::string& typeName) {
    return LayerRegistry::Instance().CreateLayer(device, nestedOperations, typeName);
}
