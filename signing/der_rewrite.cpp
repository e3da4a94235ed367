#include "signing/der_rewrite.h"

#include <algorithm>

namespace corvane::signing {
namespace {

constexpr std::uint8_t kConstructed = 0x20;
constexpr std::uint8_t kOctetString = 0x04;
constexpr std::uint8_t kSequence = 0x30;
constexpr std::uint8_t kSet = 0x31;
constexpr std::uint8_t kInteger = 0x02;
constexpr std::uint8_t kContext0 = 0xA0;  // [0], constructed
constexpr std::uint8_t kContext1 = 0xA1;  // [1], constructed
constexpr int kMaxDepth = 64;

using Span = std::span<const std::uint8_t>;

// One element of a BER encoding.
struct Node {
  Span identifier;  // the tag bytes
  bool constructed = false;
  bool all_definite = true;  // this element and everything inside use definite lengths
  Span whole;                // the element as it stands in the input
  Span content;              // a primitive element's value
  std::vector<Node> children;
};

class Parser {
 public:
  explicit Parser(Span data) : data_(data) {}

  // Parses the element at `pos_`; nullopt on malformed input.
  std::optional<Node> element(int depth) {
    if (depth > kMaxDepth) return std::nullopt;
    const std::size_t start = pos_;
    Node node;
    if (!identifier(node)) return std::nullopt;
    std::optional<std::size_t> length;
    if (!read_length(length)) return std::nullopt;
    if (!length) {  // indefinite: children up to the end-of-contents marker
      if (!node.constructed) return std::nullopt;
      node.all_definite = false;
      while (true) {
        if (pos_ + 2 > data_.size()) return std::nullopt;
        if (data_[pos_] == 0 && data_[pos_ + 1] == 0) {
          pos_ += 2;
          break;
        }
        auto child = element(depth + 1);
        if (!child) return std::nullopt;
        node.children.push_back(std::move(*child));
      }
    } else {
      if (*length > data_.size() - pos_) return std::nullopt;
      const std::size_t end = pos_ + *length;
      if (node.constructed) {
        while (pos_ < end) {
          auto child = element(depth + 1);
          if (!child || pos_ > end) return std::nullopt;
          node.all_definite = node.all_definite && child->all_definite;
          node.children.push_back(std::move(*child));
        }
      } else {
        node.content = data_.subspan(pos_, *length);
        pos_ = end;
      }
    }
    node.whole = data_.subspan(start, pos_ - start);
    return node;
  }

  [[nodiscard]] bool at_end() const { return pos_ == data_.size(); }

 private:
  bool identifier(Node& node) {
    const std::size_t start = pos_;
    if (pos_ >= data_.size()) return false;
    const std::uint8_t first = data_[pos_++];
    node.constructed = (first & kConstructed) != 0;
    if ((first & 0x1F) == 0x1F) {  // high tag number: base-128 digits follow
      do {
        if (pos_ >= data_.size() || pos_ - start > 5) return false;
      } while (data_[pos_++] & 0x80);
    }
    node.identifier = data_.subspan(start, pos_ - start);
    return true;
  }

  bool read_length(std::optional<std::size_t>& length) {
    if (pos_ >= data_.size()) return false;
    const std::uint8_t first = data_[pos_++];
    if (first < 0x80) {
      length = first;
      return true;
    }
    if (first == 0x80) {
      length.reset();
      return true;
    }
    const int count = first & 0x7F;
    if (count > 4 || pos_ + static_cast<std::size_t>(count) > data_.size()) return false;
    std::size_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | data_[pos_++];
    length = value;
    return true;
  }

  Span data_;
  std::size_t pos_ = 0;
};

void append_length(Bytes& out, std::size_t length) {
  if (length < 0x80) {
    out.push_back(static_cast<std::uint8_t>(length));
    return;
  }
  std::uint8_t digits[sizeof(std::size_t)];
  int count = 0;
  for (std::size_t rest = length; rest; rest >>= 8) digits[count++] = static_cast<std::uint8_t>(rest & 0xFF);
  out.push_back(static_cast<std::uint8_t>(0x80 | count));
  while (count) out.push_back(digits[--count]);
}

Bytes tlv(Span identifier, Span content) {
  Bytes out(identifier.begin(), identifier.end());
  append_length(out, content.size());
  out.insert(out.end(), content.begin(), content.end());
  return out;
}

Bytes tlv(std::uint8_t identifier, Span content) { return tlv(Span(&identifier, 1), content); }

// The value of a string element, its pieces joined when it is constructed.
void append_string_value(const Node& node, Bytes& out) {
  if (!node.constructed) {
    out.insert(out.end(), node.content.begin(), node.content.end());
    return;
  }
  for (const Node& child : node.children) append_string_value(child, out);
}

bool is_universal_string_type(const Node& node) {
  const std::uint8_t id = node.identifier[0];
  if ((id & 0xC0) != 0 || node.identifier.size() != 1) return false;
  const std::uint8_t number = id & 0x1F;
  // BIT STRING, OCTET STRING, UTF8String and the character and time strings
  return number == 0x03 || number == 0x04 || number == 0x0C || (number >= 0x12 && number <= 0x1E);
}

// The elements' encodings in DER order of a SET OF, concatenated.
Bytes sorted_concatenation(std::vector<Bytes> encodings) {
  std::sort(encodings.begin(), encodings.end());
  Bytes out;
  for (const Bytes& e : encodings) out.insert(out.end(), e.begin(), e.end());
  return out;
}

Bytes encode(const Node& node);

Bytes encode_children(const Node& node, bool sort) {
  std::vector<Bytes> parts;
  for (const Node& child : node.children) parts.push_back(encode(child));
  if (sort) return sorted_concatenation(std::move(parts));
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// The DER form of any element: a universal SET is sorted as a SET OF.
Bytes encode(const Node& node) {
  if (!node.constructed) return tlv(node.identifier, node.content);
  if (is_universal_string_type(node)) {
    Bytes value;
    append_string_value(node, value);
    return tlv(static_cast<std::uint8_t>(node.identifier[0] & ~kConstructed), value);
  }
  return tlv(node.identifier, encode_children(node, /*sort=*/node.identifier[0] == kSet));
}

// An element whose bytes must stay as they are when they are already definite.
Bytes encode_opaque(const Node& node) {
  if (node.all_definite) return Bytes(node.whole.begin(), node.whole.end());
  return encode(node);
}

bool is(const Node& node, std::uint8_t identifier) {
  return node.identifier.size() == 1 && node.identifier[0] == identifier;
}

// SignerInfo: the signature is its first OCTET STRING; [0] and [1] are the
// signed and unsigned attribute sets.
std::optional<Bytes> encode_signer_info(const Node& info, const SignatureFix& fix) {
  if (!is(info, kSequence)) return std::nullopt;
  Bytes content;
  bool signature_seen = false;
  for (const Node& child : info.children) {
    Bytes part;
    if (!signature_seen && (child.identifier[0] & ~kConstructed) == kOctetString &&
        child.identifier.size() == 1) {
      signature_seen = true;
      Bytes value;
      append_string_value(child, value);
      if (fix) value = fix(value);
      part = tlv(kOctetString, value);
    } else if (is(child, kContext0) || is(child, kContext1)) {
      part = tlv(child.identifier, encode_children(child, /*sort=*/true));
    } else {
      part = encode(child);
    }
    content.insert(content.end(), part.begin(), part.end());
  }
  if (!signature_seen) return std::nullopt;
  return tlv(kSequence, content);
}

// SignedData: version, digestAlgorithms SET, encapContentInfo,
// [0] certificates, [1] crls, signerInfos SET.
std::optional<Bytes> encode_signed_data(const Node& data, const SignatureFix& fix) {
  if (!is(data, kSequence) || data.children.size() < 4) return std::nullopt;
  Bytes content;
  const std::size_t last = data.children.size() - 1;
  for (std::size_t i = 0; i < data.children.size(); ++i) {
    const Node& child = data.children[i];
    Bytes part;
    if (i == last) {
      if (!is(child, kSet)) return std::nullopt;
      std::vector<Bytes> infos;
      for (const Node& info : child.children) {
        auto encoded = encode_signer_info(info, fix);
        if (!encoded) return std::nullopt;
        infos.push_back(std::move(*encoded));
      }
      part = tlv(kSet, sorted_concatenation(std::move(infos)));
    } else if (i >= 3 && (is(child, kContext0) || is(child, kContext1))) {
      std::vector<Bytes> members;
      for (const Node& member : child.children) members.push_back(encode_opaque(member));
      part = tlv(child.identifier, sorted_concatenation(std::move(members)));
    } else {
      part = encode(child);
    }
    content.insert(content.end(), part.begin(), part.end());
  }
  return tlv(kSequence, content);
}

}  // namespace

std::optional<Bytes> signed_data_to_der(std::span<const std::uint8_t> ber, const SignatureFix& fix) {
  Parser parser(ber);
  const auto root = parser.element(0);
  if (!root || !parser.at_end() || !is(*root, kSequence) || root->children.size() != 2) return std::nullopt;
  const Node& type = root->children[0];
  const Node& explicit0 = root->children[1];
  if (type.constructed || !is(explicit0, kContext0) || explicit0.children.size() != 1) return std::nullopt;
  auto signed_data = encode_signed_data(explicit0.children[0], fix);
  if (!signed_data) return std::nullopt;
  Bytes content = encode(type);
  const Bytes wrapped = tlv(kContext0, *signed_data);
  content.insert(content.end(), wrapped.begin(), wrapped.end());
  return tlv(kSequence, content);
}

bool is_der_dsa_signature(std::span<const std::uint8_t> value) {
  Parser parser(value);
  const auto root = parser.element(0);
  if (!root || !parser.at_end() || !root->all_definite || !is(*root, kSequence) || root->children.size() != 2)
    return false;
  for (const Node& n : root->children) {
    if (!is(n, kInteger) || n.content.empty()) return false;
    // Minimal: no leading 0x00 unless the next byte has its top bit set.
    if (n.content.size() > 1 && n.content[0] == 0 && !(n.content[1] & 0x80)) return false;
  }
  // The length bytes must be minimal too: re-encoding gives the same bytes.
  return encode(*root) == Bytes(value.begin(), value.end());
}

}  // namespace corvane::signing
