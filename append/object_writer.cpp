#include "append/object_writer.h"

#include <qpdf/QUtil.hh>

namespace corvane::append {

std::string ObjectWriter::value(QPDFObjectHandle value, ObjectId owner) const {
  if (value.isIndirect()) return value.getObjGen().unparse(' ') + " R";
  if (value.isString()) return string(value.getStringValue(), owner);
  if (value.isArray()) {
    std::string text = "[";
    for (QPDFObjectHandle item : value.aitems()) text += " " + this->value(item, owner);
    return text + " ]";
  }
  if (value.isDictionary()) {
    std::string text = "<<";
    for (auto [key, item] : value.ditems()) {
      if (item.isNull()) continue;
      text += " " + QPDFObjectHandle::newName(key).unparse() + " " + this->value(item, owner);
    }
    return text + " >>";
  }
  // Names, numbers, booleans and null hold nothing to encrypt.
  return value.unparse();
}

std::string ObjectWriter::dictionary_with(QPDFObjectHandle dictionary, ObjectId owner,
                                          const std::map<std::string, std::string>& replaced) const {
  std::string text = "<<";
  if (dictionary.isDictionary()) {
    for (auto [key, item] : dictionary.ditems()) {
      if (item.isNull() || replaced.count(key)) continue;
      text += " " + QPDFObjectHandle::newName(key).unparse() + " " + value(item, owner);
    }
  }
  for (const auto& [key, item] : replaced) text += " " + key + " " + item;
  return text + " >>";
}

std::string ObjectWriter::array_with(QPDFObjectHandle array, ObjectId owner, const std::string& added) const {
  std::string text = "[";
  if (array.isArray())
    for (QPDFObjectHandle item : array.aitems()) text += " " + value(item, owner);
  return text + " " + added + " ]";
}

std::string ObjectWriter::string(std::string_view bytes, ObjectId owner) const {
  if (!encryption_) return QPDFObjectHandle::newString(std::string(bytes)).unparse();
  const std::string key =
      engine::object_key(*encryption_, encryption_->strings, owner.number, owner.generation);
  return "<" + QUtil::hex_encode(engine::encrypt(encryption_->strings, key, bytes)) + ">";
}

std::string ObjectWriter::stream(std::string_view entries, std::string_view data, ObjectId owner) const {
  std::string stored(data);
  if (encryption_) {
    const std::string key =
        engine::object_key(*encryption_, encryption_->streams, owner.number, owner.generation);
    stored = engine::encrypt(encryption_->streams, key, data);
  }
  std::string text = "<< ";
  text += entries;
  text += " /Length " + std::to_string(stored.size()) + " >>\nstream\n";
  text += stored;
  text += "\nendstream";
  return text;
}

}  // namespace corvane::append
