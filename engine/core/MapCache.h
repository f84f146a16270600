// Device resources made from images, shared by key (colour file name + alpha file name) with a use count.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// A device's texture resource; concrete devices derive their own (e.g. a GPU texture).
class MapResource {
public:
    virtual ~MapResource() = default;
    uint32_t width = 0;
    uint32_t height = 0;
};

class MapCache {
public:
    MapCache() = default;
    MapCache(const MapCache&) = delete;
    MapCache& operator=(const MapCache&) = delete;

    // The resource held under key, or nullptr.
    MapResource* Find(const std::string& key) const;
    // A known key gains one use (a resource passed along is dropped unless it is the
    // one held); a new key takes ownership of resource with one use. Returns the held one.
    MapResource* Add(const std::string& key, std::unique_ptr<MapResource> resource);
    // One more use of a key already held; false when the key is unknown.
    bool AddReference(const std::string& key);
    // Unknown key: true. Otherwise one use less; the last use erases the entry
    // (destroying its resource) and answers false.
    bool Release(const std::string& key);
    // As Release, for a holder that knows its resource: it also finds a retired entry.
    bool Release(const std::string& key, const MapResource* resource);
    // Every entry whose key matches leaves the lookup (the next Add under its key makes
    // a fresh resource: its file changed on disk), while its current users keep it; a
    // retired resource is destroyed when the last of them releases it. Returns how many.
    size_t Retire(const std::function<bool(const std::string& key)>& matches);
    size_t GetRetiredCount() const { return retired_.size(); }

    int GetCount(const std::string& key) const;
    size_t GetSize() const { return entries_.size(); }
    // Destroys every resource (a device does this while its context still exists).
    void Clear()
    {
        entries_.clear();
        retired_.clear();
    }

private:
    struct Entry {
        std::unique_ptr<MapResource> resource;
        int32_t count = 0;
    };
    std::map<std::string, Entry> entries_;
    std::vector<Entry> retired_;
};
