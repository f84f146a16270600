// The production's own texts: title, date and the group's web address.
#pragma once

constexpr const char* kProductionTitle = "Starfall Trailer, By Vireo!";
constexpr const char* kProductionBanner = "Starfall Trailer - Vireo! - 2001/2026";
constexpr const char* kGroupWebAddress = "https://vireo.example.org/";
