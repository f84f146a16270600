// Test media made in memory: PNG images, a valid font sheet and WAV music.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// An 8-bit RGB PNG file from width x height RGB triples.
std::string MakePng(int width, int height, const std::vector<uint8_t>& rgb);
// A font sheet of 94 glyphs, each glyphWidth x glyphHeight, 16 to a row.
std::string MakeFontSheetPng(int glyphWidth = 3, int glyphHeight = 4);
// A mono 16-bit 44100 Hz WAV file holding a sine tone.
std::string MakeSineWav(double seconds, double frequency = 440.0);
