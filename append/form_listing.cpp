#include "append/form_listing.h"

namespace corvane::append {

NewObject page_listing(const ObjectWriter& writer, QPDFObjectHandle page, const std::string& references) {
  QPDFObjectHandle annots = page.getKey("/Annots");
  if (annots.isIndirect() && annots.isArray()) {
    const ObjectId id = id_of(annots);
    return {id.number, id.generation, writer.array_with(annots, id, references)};
  }
  const ObjectId id = id_of(page);
  return {id.number, id.generation, writer.dictionary_with(page, id, {{"/Annots", writer.array_with(annots, id, references)}})};
}

NewObject form_listing(const ObjectWriter& writer, QPDFObjectHandle catalog, const std::string& references,
                       const std::map<std::string, std::string>& entries) {
  QPDFObjectHandle form = catalog.getKey("/AcroForm");
  const auto form_text = [&](ObjectId owner) {
    std::map<std::string, std::string> replaced = entries;
    replaced["/Fields"] = writer.array_with(form.getKey("/Fields"), owner, references);
    return writer.dictionary_with(form, owner, replaced);
  };
  if (form.isIndirect() && form.isDictionary()) {
    const ObjectId id = id_of(form);
    return {id.number, id.generation, form_text(id)};
  }
  const ObjectId id = id_of(catalog);
  return {id.number, id.generation, writer.dictionary_with(catalog, id, {{"/AcroForm", form_text(id)}})};
}

}  // namespace corvane::append
