// The binary property stream: a component's published properties as a
// "TPF0" block (signature, class name, component name, entries, two end
// bytes), written and read through the class's property table.
#pragma once

#include <cstdint>
#include <string>

#include "Component.h"
#include "Stream.h"

// Writes Root's block at the stream's position: the entries of
// Root.DefineProperties in order (each only when its Stored rule allows),
// then Left and Top when Root carries a design position other than 0.
void WriteComponent(TStream& Stream, const TComponent& Root);

// Reads a block at the stream's position into Root: checks the signature
// (EInvalidStreamFormat), ignores the stored class name, applies the
// component name and every entry through its setter in stream order, skips
// event entries and leaves the stream right after the block. An unknown
// property, or a value of the wrong type, raises EInvalidProperty naming the
// property; a block that ends early raises EReadError. Property names match
// letter case ignored; an integer is accepted for a float property; a
// property without a setter is read and dropped.
void ReadComponent(TStream& Stream, TComponent& Root);

// Reads the head of a block at the stream's position and returns the class
// name stored in it: what a program needs to create the right component
// before reading the block into it (ReadComponent). Raises
// EInvalidStreamFormat for a wrong signature and EReadError for a stream
// that ends early; the stream is left after the class name.
std::string ReadComponentClassName(TStream& Stream);

// 80-bit extended conversions, exact from double and correctly rounded
// (nearest, ties to even) back to double. Bytes are the 10-byte
// little-endian image: 8 bytes mantissa with explicit leading bit, then 2
// bytes sign and biased exponent.
void DoubleToExtended(double Value, uint8_t Bytes[10]);
double ExtendedToDouble(const uint8_t Bytes[10]);
