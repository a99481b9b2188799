#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace Corvane::TalisFramework {

// An ordered sequence of bytes, as the serial port reads and writes them. A thin
// wrapper over std::vector<unsigned char> with the container's own (lower-case) names,
// so it works with range-for and the standard algorithms. Not thread-safe.
class ByteArray {
 public:
  using value_type = unsigned char;
  using iterator = std::vector<unsigned char>::iterator;
  using const_iterator = std::vector<unsigned char>::const_iterator;

  ByteArray() = default;
  // `count` zero bytes.
  explicit ByteArray(std::size_t count) : bytes(count) {}
  ByteArray(const unsigned char* data, std::size_t count) : bytes(data, data + count) {}
  // The characters of `text`, byte for byte.
  explicit ByteArray(const std::string& text) : bytes(text.begin(), text.end()) {}
  ByteArray(const ByteArray&) = default;
  ByteArray& operator=(const ByteArray&) = default;
  ByteArray(ByteArray&&) = default;
  ByteArray& operator=(ByteArray&&) = default;
  virtual ~ByteArray();

  std::size_t size() const { return bytes.size(); }
  bool empty() const { return bytes.empty(); }
  unsigned char* data() { return bytes.data(); }
  const unsigned char* data() const { return bytes.data(); }
  unsigned char& operator[](std::size_t index) { return bytes[index]; }
  const unsigned char& operator[](std::size_t index) const { return bytes[index]; }
  iterator begin() { return bytes.begin(); }
  iterator end() { return bytes.end(); }
  const_iterator begin() const { return bytes.begin(); }
  const_iterator end() const { return bytes.end(); }

  void clear() { bytes.clear(); }
  void resize(std::size_t count) { bytes.resize(count); }
  void reserve(std::size_t count) { bytes.reserve(count); }
  void push_back(unsigned char byte) { bytes.push_back(byte); }
  void append(const unsigned char* data, std::size_t count) {
    bytes.insert(bytes.end(), data, data + count);
  }

  // The bytes as characters (for logging and tests).
  std::string ToString() const { return std::string(bytes.begin(), bytes.end()); }
  const std::vector<unsigned char>& Vector() const { return bytes; }
  std::vector<unsigned char>& Vector() { return bytes; }

  bool operator==(const ByteArray& other) const { return bytes == other.bytes; }
  bool operator!=(const ByteArray& other) const { return bytes != other.bytes; }

 private:
  std::vector<unsigned char> bytes;
};

}  // namespace Corvane::TalisFramework
