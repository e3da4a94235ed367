#include "incremental/update_writer.h"

#include <gtest/gtest.h>

#include <qpdf/QPDF.hh>

#include "incremental/object_writer.h"
#include "incremental/original_document.h"
#include "platform/atomic_file.h"

namespace corvane::incremental {
namespace {

// An update with a new object (holding a string, encrypted where the
// document is) and a new revision of the catalog: qpdf reads both through
// the new section alone, without recovering anything, and the new section
// links to the file's last one.
TEST(IncrementalUpdate, ReadersFindNewObjectsThroughTheAppendedSection) {
  const struct {
    const char* file;
    const char* password;
    XrefKind kind;
  } cases[] = {{"plain.pdf", "", XrefKind::kTable},
               {"xref-stream.pdf", "", XrefKind::kStream},
               {"enc-rc4-128.pdf", "user", XrefKind::kTable},
               {"enc-aes-256.pdf", "user", XrefKind::kTable}};
  for (const auto& c : cases) {
    const std::string path = std::string(CORVANE_FIXTURES_DIR) + "/pdf/" + c.file;
    std::string why;
    auto document = OriginalDocument::open(path, c.password, why);
    ASSERT_TRUE(document) << c.file << ": " << why;
    const UpdateBase& base = document->base();
    EXPECT_EQ(base.xref_kind, c.kind) << c.file;

    const ObjectWriter writer(document->encryption() ? &*document->encryption() : nullptr);
    const std::int32_t note = base.size;
    QPDFObjectHandle catalog = document->qpdf().getRoot();
    const ObjectId catalog_id{catalog.getObjectID(), catalog.getGeneration()};
    const std::string catalog_text = "<< /Type /Catalog /Pages " + writer.value(catalog.getKey("/Pages"), catalog_id) + " /Note " +
                   std::to_string(note) + " 0 R >>";
    const Update update = write_update(
        base, {{note, 0, "<< /Text " + writer.string("added (text)", {note, 0}) + " >>"},
               {catalog_id.number, catalog_id.generation, catalog_text}});

    const auto original = platform::read_whole_file(path);
    ASSERT_TRUE(original);
    const std::string file = *original + update.bytes;
    EXPECT_EQ(update.object_offsets.front(), static_cast<std::int64_t>(original->size())) << c.file;
    QPDF qpdf;
    qpdf.setSuppressWarnings(true);
    qpdf.setAttemptRecovery(false);
    qpdf.processMemoryFile(c.file, file.data(), file.size(), c.password);
    EXPECT_EQ(qpdf.getRoot().getKey("/Note").getKey("/Text").getUTF8Value(), "added (text)") << c.file;
    EXPECT_EQ(qpdf.getTrailer().getKey("/Prev").getIntValue(), base.last_xref) << c.file;
    EXPECT_EQ(qpdf.getTrailer().getKey("/Size").getIntValue(),
              note + 1 + (c.kind == XrefKind::kStream ? 1 : 0)) << c.file;
    EXPECT_EQ(qpdf.getAllPages().size(), document->qpdf().getAllPages().size()) << c.file;
    EXPECT_FALSE(qpdf.anyWarnings()) << c.file;
  }
}

}  // namespace
}  // namespace corvane::incremental
