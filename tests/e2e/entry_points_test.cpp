// What the host sees when it loads the library: the identification strings,
// the registration qvpInit makes and what qvpExit leaves behind.
#include <gtest/gtest.h>

#include <regex>

#include "tests/e2e/plugin_host.h"

namespace {

using e2e::PluginTest;

TEST(EntryPoints, StringsAreReadableBeforeInit) {
  qvstandin::reset();
  qvstandin::LoadedPlugin plugin;
  std::string error;
  ASSERT_TRUE(qvstandin::openPlugin(ELVARIN_PLUGIN_PATH, &plugin, &error)) << error;
  EXPECT_EQ(qvstandin::registration().registerCalls, 0);
  EXPECT_STREQ(plugin.vendor, "Quovis-Tarmel, Inc.");
  EXPECT_STREQ(plugin.idString, "Elvarin");
  EXPECT_STREQ(plugin.version, "3.2.0");
  EXPECT_TRUE(std::regex_match(plugin.uuidString,
                               std::regex("[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-"
                                          "[0-9a-f]{12}")))
      << plugin.uuidString;
  EXPECT_EQ(plugin.init(qvstandin::pluginHandle()), 1);
  qvstandin::unloadPlugin(&plugin);
  qvstandin::reset();
}

TEST_F(PluginTest, RegistersOneImporterAndAttachesGeoInfo) {
  const qvstandin::Registration &r = qvstandin::registration();
  EXPECT_EQ(plugin.initResult, 1);
  EXPECT_EQ(r.registerCalls, 1);
  EXPECT_EQ(r.plugin, qvstandin::pluginHandle());
  EXPECT_EQ(r.name, "Elvarin");
  EXPECT_EQ(r.format, 65);
  EXPECT_EQ(r.reserved, nullptr);
  EXPECT_EQ(r.keyValues, (std::vector<std::pair<std::string, std::string>>{
                             {"Version", "1.0"}, {"Filter", "*.ded"}, {"FileType", "DED"}}));
  ASSERT_NE(r.importer, nullptr);
  EXPECT_EQ(r.geoInfoCalls, 1);
  EXPECT_EQ(r.geoPlugin, qvstandin::pluginHandle());
  EXPECT_EQ(r.geoImporter, r.importer);
  EXPECT_EQ(r.geoReserved, nullptr);
  EXPECT_EQ(r.unregisterCalls, 0);

  // Five distinct callbacks; what each one does is the conversation's test.
  const std::vector<const void *> callbacks = {
      reinterpret_cast<const void *>(r.open), reinterpret_cast<const void *>(r.close),
      reinterpret_cast<const void *>(r.getInfo), reinterpret_cast<const void *>(r.getImage),
      reinterpret_cast<const void *>(r.geoInfo)};
  for (size_t i = 0; i < callbacks.size(); ++i) {
    EXPECT_NE(callbacks[i], nullptr) << i;
    for (size_t j = 0; j < i; ++j) {
      EXPECT_NE(callbacks[i], callbacks[j]) << i << " " << j;
    }
  }
}

TEST_F(PluginTest, RefusedRegistrationStillAttachesGeoInfo) {
  reload(true);
  const qvstandin::Registration &r = qvstandin::registration();
  EXPECT_EQ(plugin.initResult, 0);
  EXPECT_EQ(r.registerCalls, 1);
  EXPECT_EQ(r.importer, nullptr);
  EXPECT_EQ(r.geoInfoCalls, 1);
  EXPECT_EQ(r.geoPlugin, qvstandin::pluginHandle());
  EXPECT_EQ(r.geoImporter, nullptr);
  EXPECT_NE(r.geoInfo, nullptr);
}

TEST_F(PluginTest, ExitUnregistersButLeavesFilesOpen) {
  const int32_t handle = open(dedtest::geographicFile(5, 3));
  plugin.exit(qvstandin::pluginHandle());
  EXPECT_EQ(qvstandin::registration().unregisterCalls, 1);
  EXPECT_EQ(qvstandin::registration().unregisterPlugin, qvstandin::pluginHandle());

  // The file is still the plug-in's: it describes and closes as before.
  qvstandin::ImageRecord info;
  EXPECT_EQ(qvstandin::hostGetInfo(handle, &info), 0);
  EXPECT_EQ(e2e::describeCalls(info.calls), e2e::expectedInfoCalls({5, 3}));
  EXPECT_EQ(qvstandin::openStreams(), 1);
  close(handle);
}

} // namespace
