// The window's parts for cabinets as files: the registry export beside
// "Save INF", the signature in the first tab and the report, and the choice
// of a cabinet inside another file.
#include <QAction>

#include "helpers/cab_signer.h"
#include "ui/qt_text.h"
#include "ui/report_view.h"
#include "window_fixture.h"

namespace vornix {
namespace {

TEST_F(WindowTest, RegistryExportIsOfferedOnceAPackageIsShown) {
  EXPECT_FALSE(window->RegTBtn->isEnabled());
  window->openPackage(demo());
  EXPECT_TRUE(window->RegTBtn->isEnabled());
  const QString reg = QString::fromStdString((dir / "out.reg").string());
  ASSERT_TRUE(window->SaveRegFile(reg, true));
  const std::string text = testing::ReadAll(dir / "out.reg");
  EXPECT_EQ(text.substr(0, 67), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Vornix Samples\\Tidepool]\r\n");
  ASSERT_TRUE(window->SaveRegFile(reg, false));
  EXPECT_EQ(testing::ReadAll(dir / "out.reg").substr(0, 4), std::string("\xFF\xFEW\0", 4));
  EXPECT_FALSE(window->SaveRegFile(QString::fromStdString((dir / "no" / "x.reg").string()), false));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].second.substr(0, 27), "The file cannot be saved :\n");
}

testing::SignedCabinet SignedDemo() {
  testing::CabBuilder b = testing::DemoPackage();
  testing::ReserveForSigning(b, 64);
  return testing::SignCabinet(b.bytes());
}

std::string GeneralValue(const TForm1& window, const std::string& label) {
  for (const ListRow& row : window.model(0)->rows())
    if (row.cell(0) == label) return row.cell(1);
  return "(no row " + label + ")";
}

TEST_F(WindowTest, SignatureIsARowGroupAndAReportSection) {
  const testing::SignedCabinet signed_ = SignedDemo();
  window->openPackage(put("signed.cab", signed_.bytes));
  EXPECT_EQ(GeneralValue(*window, "Signature"), "Signed and intact: the cabinet is the one that was signed.");
  EXPECT_EQ(GeneralValue(*window, "Signer"), "CN=Vornix Test Signer, O=Vornix Tests");
  EXPECT_EQ(GeneralValue(*window, "Chain"), "self-signed");
  const std::string report = FromQt(window->report()->toPlainText());
  EXPECT_NE(report.find("\nCabinet signature\t \n\nSignature\tSigned and intact: the cabinet is the one that was "
                        "signed.\nSigner\tCN=Vornix Test Signer, O=Vornix Tests\n"),
            std::string::npos);

  std::string changed = signed_.bytes;
  changed[32] ^= 0x01;  // the set ID: the cabinet still opens, but is no longer what was signed
  window->openPackage(put("changed.cab", changed));
  EXPECT_EQ(GeneralValue(*window, "Signature").substr(0, 21), "Signed, but changed: ");

  window->openPackage(put("setup.000", testing::BuildSetupFile(testing::DemoApplication())));
  EXPECT_TRUE(window->signatureItems().empty());
  EXPECT_EQ(GeneralValue(*window, "Signature"), "(no row Signature)");
}

TEST_F(WindowTest, AFileHoldingSeveralCabinetsOffersAChoice) {
  const std::string first = testing::DemoPackage().bytes();
  const QString exe = put("setup.exe", testing::ProgramStub(4096, 9) + first + SignedDemo().bytes);
  std::vector<std::string> offered;
  int answer = 1;
  window->cabinetChoiceHook = [&](const std::vector<std::string>& rows) {
    offered = rows;
    return answer;
  };
  window->dropFiles({exe});
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(offered[0], "#1 at 0x1000, " + std::to_string(first.size()) + " bytes, 1 folder, 6 files: Tidepool");
  EXPECT_NE(offered[1].find(", signed: Tidepool"), std::string::npos) << offered[1];
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(window->statusPanel(0).toStdString(), exe.toStdString() + "#2");
  EXPECT_EQ(GeneralValue(*window, "Selected Filename"), exe.toStdString() + "#2");  // never the private copy
  EXPECT_EQ(GeneralValue(*window, "Signature"), "Signed and intact: the cabinet is the one that was signed.");
  EXPECT_TRUE(window->ExtraitTBtn->isEnabled());

  // Cancel opens nothing and says nothing.
  answer = -1;
  window->openPackage(demo());
  window->dropFiles({exe});
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(GeneralValue(*window, "Signature"), "Not signed.");
  EXPECT_EQ(window->statusPanel(0).toStdString(), demo().toStdString());

  // One cabinet needs no choice; none at all is no package.
  offered.clear();
  window->dropFiles({put("one.exe", testing::ProgramStub(4096, 9) + first)});
  EXPECT_TRUE(offered.empty());
  EXPECT_EQ(GeneralValue(*window, "Application Name"), "Tidepool");
  window->dropFiles({put("none.exe", testing::ProgramStub(4096, 9))});
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].second.find("none.exe is not a .cab, .tsk or .000 file"), std::string::npos);
}

}  // namespace
}  // namespace vornix
