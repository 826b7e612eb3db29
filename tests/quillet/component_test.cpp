// The reader as a host gets it: created by name from libquillet.so in the
// program folder, its failures arriving as platform errors.
#include <gtest/gtest.h>

#include <memory>

#include "ProgramFolderEnv.h"
#include "QuilletTestSupport.h"
#include "platform/ComponentLoader.h"
#include "platform/Paths.h"
#include "quillet/Quillet.h"

namespace quillet {
namespace {

using quillet_test::errorNumberOf;

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::setEnv(&env_); }
  void TearDown() override { platform::setEnv(nullptr); }

  static std::unique_ptr<IucQuillet> createReader() {
    return std::unique_ptr<IucQuillet>(
        static_cast<IucQuillet*>(platform::createComponent("Quillet.ucQuillet")));
  }

 private:
  quillet_test::ProgramFolderEnv env_{platform::joinPath(TARNWICK_PROGRAM_DIR, "tarnwick")};
};

TEST_F(ComponentTest, ReaderFromTheLibraryReadsAndValidates) {
  std::unique_ptr<IucQuillet> reader = createReader();
  reader->CSVFile(quillet_test::writeCsv({"NodeType,SerialNo", "v,12a", "o,7"}));
  EXPECT_EQ(reader->OpenCSV(true, true), (Fields{"NodeType", "SerialNo"}));
  reader->setColumnValidation("SerialNo", "^\\d{1,10}$");
  reader->ReadLine();
  EXPECT_EQ(reader->getValue("nodetype"), "v");
  EXPECT_EQ(errorNumberOf([&] { reader->getValue("serialno"); }), CSVMAN_ERROR_VALIDATIONFAILED);
  EXPECT_EQ(reader->LastInvalidValue(), platform::Value(std::string("12a")));
  reader->ReadLine();
  EXPECT_EQ(reader->getValue("serialno"), "7");
  EXPECT_TRUE(reader->EOF_());
  reader->CloseCSV();
}

TEST_F(ComponentTest, FailuresCrossTheLibraryWithNumberAndText) {
  std::unique_ptr<IucQuillet> reader = createReader();
  try {
    reader->OpenCSV(true, true);
    FAIL() << "OpenCSV succeeded without a file";
  } catch (const platform::Error& e) {
    EXPECT_EQ(e.number(), CSVMAN_ERROR_CSVFILENOTSPECIFIED);
    EXPECT_EQ(e.description(), csvmanErrorText(CSVMAN_ERROR_CSVFILENOTSPECIFIED));
  }
  EXPECT_EQ(errorNumberOf([&] { reader->ReadLine(); }), platform::err::kObjectNotSet);
}

}  // namespace
}  // namespace quillet
