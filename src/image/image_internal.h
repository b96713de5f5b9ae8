// Pieces shared by the firmware-file selection and the loader files, and the seams their tests
// use. Not part of the image subsystem's interface to the rest of the program.
#pragma once

#include <cstdio>

#include "image/firmware_image.h"

namespace veltra {

// ---- payload allocation ----------------------------------------------------------------------
// Every buffer this subsystem reads a file into (the loader buffer) comes from std::malloc and is
// released with std::free (ReleasePayload).
// Allocates a zero-filled buffer for length bytes and copies them from source (which may be
// nullptr to leave the buffer zero). A zero-length payload still gets a non-null buffer, so that a
// payload's data pointer alone tells whether a selection holds it. false when the allocation
// fails; the payload is then empty.
bool AllocatePayload(Payload& payload, const std::uint8_t* source, std::uint32_t length);

// ---- file reading ------------------------------------------------------------------------------
// Reads an open file whole into out (seek to the end for the length, back to the start, one read).
// Traces "Memory Allocation FAiled..\r\n" or "Reading from file failed....\r\n" and returns false
// on failure, with out left empty. The caller closes the file.
bool ReadWholeFile(std::FILE* file, Payload& out);

// ---- firmware file layout -------------------------------------------------------------------
constexpr std::uint32_t kNotFound = 0xFFFFFFFFu;

// First position at or after from where the whole marker stands inside the buffer; kNotFound
// when there is none. Never reads outside [buffer, buffer + length).
std::uint32_t FindMarker(const std::uint8_t* buffer, std::uint32_t length, const char* marker,
                         std::uint32_t from = 0);

}  // namespace veltra
