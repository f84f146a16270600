// Shared device resources by key, with use counts.
#include "engine/core/MapCache.h"

MapResource* MapCache::Find(const std::string& key) const
{
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : it->second.resource.get();
}

MapResource* MapCache::Add(const std::string& key, std::unique_ptr<MapResource> resource)
{
    auto it = entries_.find(key);
    if (it != entries_.end()) {
        ++it->second.count;
        if (resource.get() == it->second.resource.get())
            (void)resource.release();  // the same object: the cache already owns it
        return it->second.resource.get();
    }
    Entry& entry = entries_[key];
    entry.resource = std::move(resource);
    entry.count = 1;
    return entry.resource.get();
}

bool MapCache::AddReference(const std::string& key)
{
    auto it = entries_.find(key);
    if (it == entries_.end())
        return false;
    ++it->second.count;
    return true;
}

bool MapCache::Release(const std::string& key)
{
    auto it = entries_.find(key);
    if (it == entries_.end())
        return true;
    if (it->second.count <= 1) {
        entries_.erase(it);
        return false;
    }
    --it->second.count;
    return true;
}

int MapCache::GetCount(const std::string& key) const
{
    auto it = entries_.find(key);
    return it == entries_.end() ? 0 : it->second.count;
}

bool MapCache::Release(const std::string& key, const MapResource* resource)
{
    auto live = entries_.find(key);
    if (live != entries_.end() && live->second.resource.get() == resource)
        return Release(key);
    for (auto it = retired_.begin(); it != retired_.end(); ++it) {
        if (it->resource.get() != resource)
            continue;
        if (--it->count > 0)
            return true;
        retired_.erase(it);
        return false;
    }
    return true;
}

size_t MapCache::Retire(const std::function<bool(const std::string& key)>& matches)
{
    size_t count = 0;
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (!matches(it->first)) {
            ++it;
            continue;
        }
        retired_.push_back(std::move(it->second));
        it = entries_.erase(it);
        ++count;
    }
    return count;
}
