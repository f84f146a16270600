// Registry of layer types ("LayerEffects"): type name from the script -> factory.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "engine/layers/Layer.h"

class RenderDevice;

class LayerFactory {
public:
    virtual ~LayerFactory() = default;
    // A newly constructed, not yet initialised layer of the factory's type.
    virtual std::unique_ptr<Layer> Create(RenderDevice& device,
                                          const std::vector<LayerOperation>& nestedOperations) = 0;
};

class LayerRegistry {
public:
    // The process-wide registry (built on first use, so static registrars may run in any order).
    static LayerRegistry& Instance();

    // Start-up only; a name registered twice keeps its first factory.
    void Register(const std::string& typeName, std::unique_ptr<LayerFactory> factory);
    // Exact, case-sensitive lookup; an unknown name is fatal ("Could not find LayerEffect
    // [%s].\r\n Available are : \r\n%s") listing every name in byte order.
    std::unique_ptr<Layer> CreateLayer(RenderDevice& device,
                                       const std::vector<LayerOperation>& nestedOperations,
                                       const std::string& typeName) const;
    bool Contains(const std::string& typeName) const;
    std::vector<std::string> GetNames() const;  // byte order

private:
    std::map<std::string, std::unique_ptr<LayerFactory>> factories_;
};

// Shorthand for LayerRegistry::Instance().CreateLayer.
std::unique_ptr<Layer> CreateLayer(RenderDevice& device,
                                   const std::vector<LayerOperation>& nestedOperations,
                                   const std::string& typeName);

// Factory of a layer class constructible from (device, nested operations).
template <class LayerType>
class LayerFactoryOf : public LayerFactory {
public:
    std::unique_ptr<Layer> Create(RenderDevice& device,
                                  const std::vector<LayerOperation>& nestedOperations) override {
        return std::make_unique<LayerType>(device, nestedOperations);
    }
};

// Registers a layer type during static initialisation; place one in the file that
// defines the type:  static LayerRegistrar<GFXLayer> gfxLayerRegistrar("GFXLayer");
template <class LayerType>
class LayerRegistrar {
public:
    explicit LayerRegistrar(const char* typeName) {
        LayerRegistry::Instance().Register(typeName, std::make_unique<LayerFactoryOf<LayerType>>());
    }
};
