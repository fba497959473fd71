// Programs, program names and the chunk machinery (through a module declaring program chunks).
#include <gtest/gtest.h>

#include <cstring>

#include "support/KVX_TestHost.h"
#include "support/KVX_TestModules.h"

using namespace kvx;
using namespace kvx::test;

namespace {

class ProgramTest : public ::testing::Test {
 protected:
  void Create(const TTestModuleOptions& Options) {
    Effect = CreateTestModule(Options);
    ASSERT_NE(Effect, nullptr);
    Module = TestModuleOf(Effect);
    Module->Log.clear();
    Host.Clear();
  }
  void TearDown() override {
    if (Effect != nullptr) Dispatch(Effect, effClose);
  }
  TTestHost Host;
  PVSTEffect Effect = nullptr;
  TTestModule* Module = nullptr;
};

TTestModuleOptions Programs(int n, bool Chunks = false) {
  TTestModuleOptions o;
  o.Programs = n;
  o.ProgramChunks = Chunks;
  return o;
}

}  // namespace

TEST_F(ProgramTest, SwitchingReappliesValuesThroughTheHandlers) {
  Create(Programs(2));
  EXPECT_EQ(Dispatch(Effect, effGetProgram), 0);
  Effect->SetParameter(Effect, 0, 0.5f);
  Module->Programs()[1].SetParameter(0, 0.25f);
  Module->Log.clear();
  Dispatch(Effect, effSetProgram, 0, 0);  // the current one: nothing
  Dispatch(Effect, effSetProgram, 0, 2);  // out of range: nothing
  Dispatch(Effect, effSetProgram, 0, -1);
  EXPECT_TRUE(Module->Log.empty());
  EXPECT_EQ(Host.Count(amUpdateDisplay), 0);
  std::vector<std::string> Order;
  Module->OnBeforeProgramChange = [&](TBasicVSTModule*) { Order.push_back("before"); };
  Module->OnAfterProgramChange = [&](TBasicVSTModule*) { Order.push_back("after"); };
  Dispatch(Effect, effSetProgram, 0, 1);
  EXPECT_EQ(Dispatch(Effect, effGetProgram), 1);
  EXPECT_EQ(Order, (std::vector<std::string>{"before", "after"}));
  ASSERT_FALSE(Module->Log.empty());
  EXPECT_EQ(Module->Log[0], "Param 0 0.25");
  EXPECT_FLOAT_EQ(Module->Gain, 0.25f);
  EXPECT_EQ(Host.Count(amUpdateDisplay), 1);
  EXPECT_FLOAT_EQ(Effect->GetParameter(Effect, 0), 0.125f);
  // The values of program 0 are where they were.
  EXPECT_FLOAT_EQ(Module->Programs()[0].Parameter(0), 1.0f);
}

TEST_F(ProgramTest, ProgramNames) {
  Create(Programs(2));
  const std::string Sixty(60, 'n');
  Dispatch(Effect, effSetProgramName, 0, 0, const_cast<char*>(Sixty.c_str()));
  EXPECT_EQ(Module->CurrentProgramName(), std::string(50, 'n'));
  EXPECT_EQ(Host.Count(amUpdateDisplay), 0);
  struct Case {
    int32_t Opcode;
    int32_t Index;
    intptr_t Answer;
    std::string Text;
  } Cases[] = {
      {effGetProgramName, 0, 0, std::string(23, 'n')},
      {effGetProgramNameIndexed, 0, 1, std::string(23, 'n')},
      {effGetProgramNameIndexed, 1, 1, "Program 1"},
      {effGetProgramNameIndexed, 2, 0, "####"},
      {effGetProgramNameIndexed, -1, 0, "####"},
  };
  for (const Case& c : Cases) {
    char Buffer[64];
    std::memset(Buffer, '#', sizeof(Buffer));
    Buffer[63] = 0;
    EXPECT_EQ(Dispatch(Effect, c.Opcode, c.Index, 0, Buffer), c.Answer);
    EXPECT_EQ(std::string(Buffer).substr(0, c.Text.size()), c.Text);
    // Nothing beyond the host's 24 bytes is touched.
    EXPECT_EQ(Buffer[24], '#');
  }
  // A name of multi-byte characters is cut between characters.
  Module->Programs()[0].SetDisplayName(std::string(20, 'a') + "\xC3\xA4\xC3\xA4");
  char Buffer[32];
  Dispatch(Effect, effGetProgramName, 0, 0, Buffer);
  EXPECT_EQ(std::string(Buffer), std::string(20, 'a') + "\xC3\xA4");
  Module->SetCurrentProgramName("Renamed");
  EXPECT_EQ(Host.Count(amUpdateDisplay), 1);
  EXPECT_EQ(Module->GetVstProgramByName("Program 1").Index(), 1);
  EXPECT_THROW(Module->GetVstProgramByName("None"), EArgumentError);
}

TEST_F(ProgramTest, ModuleWithoutProgramsUsesItsLiveValues) {
  Create(Programs(0));
  EXPECT_EQ(Effect->numPrograms, 0);
  EXPECT_EQ(Dispatch(Effect, effGetProgram), -1);
  Effect->SetParameter(Effect, 0, 0.5f);
  EXPECT_FLOAT_EQ(Module->GetParameter(0), 1.0f);
  char Buffer[32] = "x";
  EXPECT_EQ(Dispatch(Effect, effGetProgramName, 0, 0, Buffer), 0);
  EXPECT_STREQ(Buffer, "");
  EXPECT_EQ(Dispatch(Effect, effSetProgramName, 0, 0, Buffer), 0);
}

TEST_F(ProgramTest, PatchChunkInfoIdentity) {
  Create(Programs(1));
  TVstPatchChunkInfo Info{};
  std::memcpy(&Info.PluginUniqueID, &Effect->UniqueID, 4);
  int Seen = 0;
  Module->OnBeginLoadBank = [&](TBasicVSTModule*, const TVstPatchChunkInfo* p) { Seen += p == &Info; };
  EXPECT_EQ(Dispatch(Effect, effBeginLoadBank, 0, 0, &Info), 1);
  EXPECT_EQ(Seen, 1);
  Info.PluginUniqueID ^= 1;
  EXPECT_EQ(Dispatch(Effect, effBeginLoadBank, 0, 0, &Info), -1);
  EXPECT_EQ(Dispatch(Effect, effBeginLoadProgram, 0, 0, &Info), -1);
}

TEST_F(ProgramTest, ChunklessModuleHasNoChunks) {
  Create(Programs(2));
  void* Data = nullptr;
  uint8_t Bytes[8] = {};
  EXPECT_EQ(Dispatch(Effect, effGetChunk, 0, 0, &Data), 0);
  EXPECT_EQ(Dispatch(Effect, effGetChunk, 1, 0, &Data), 0);
  EXPECT_EQ(Dispatch(Effect, effSetChunk, 0, 8, Bytes), 0);
  EXPECT_EQ(Dispatch(Effect, effSetChunk, 1, 8, Bytes), 0);
}

TEST_F(ProgramTest, BankChunkLayout) {
  Create(Programs(2, true));
  ASSERT_NE(Module->Programs()[0].Chunk(), nullptr);
  EXPECT_EQ(Module->Programs()[0].ParameterCount(), 0);
  std::vector<std::string> Stores;
  Module->Programs()[0].OnStoreChunk = [&](TCustomVstProgram* p, const int32_t Index, const bool isPreset) {
    Stores.push_back(std::to_string(Index) + (isPreset ? " preset" : " bank"));
    p->Chunk()->Clear();
    p->Chunk()->WriteBuffer("abc", 3);
  };
  void* Data = nullptr;
  ASSERT_EQ(Dispatch(Effect, effGetChunk, 0, 0, &Data), 11);
  const uint8_t Expected[11] = {3, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(Data, Expected, 11), 0);
  ASSERT_EQ(Dispatch(Effect, effGetChunk, 1, 0, &Data), 3);
  EXPECT_EQ(std::memcmp(Data, "abc", 3), 0);
  EXPECT_EQ(Stores, (std::vector<std::string>{"0 bank", "0 preset"}));
  EXPECT_EQ(Dispatch(Effect, effGetChunk, 0, 0, nullptr), 0);
}

TEST_F(ProgramTest, SettingChunks) {
  Create(Programs(2, true));
  std::vector<std::string> Loads;
  for (int p = 0; p < 2; ++p)
    Module->Programs()[p].OnLoadChunk = [&](TCustomVstProgram* Program, const int32_t Index,
                                            const bool isPreset) {
      Loads.push_back(std::to_string(Index) + (isPreset ? " preset " : " bank ") +
                      std::to_string(Program->Chunk()->Size()));
    };
  const uint8_t Bank[] = {2, 0, 0, 0, 'x', 'y', 1, 0, 0, 0, 'z', 0xEE};
  EXPECT_EQ(Dispatch(Effect, effSetChunk, 0, sizeof(Bank), const_cast<uint8_t*>(Bank)),
            static_cast<intptr_t>(sizeof(Bank)));
  EXPECT_EQ(Loads, (std::vector<std::string>{"0 bank 2", "1 bank 1", "0 bank 2"}));
  EXPECT_EQ(std::memcmp(Module->Programs()[1].Chunk()->Memory(), "z", 1), 0);
  EXPECT_TRUE(Module->EditorNeedUpdate());
  Loads.clear();
  EXPECT_EQ(Dispatch(Effect, effSetChunk, 1, 4, const_cast<char*>("wxyz")), 4);
  EXPECT_EQ(Loads, (std::vector<std::string>{"0 preset 4"}));
  EXPECT_EQ(Module->Programs()[0].Chunk()->Position(), 0);
}

TEST_F(ProgramTest, BankShorterThanItsCountsChangesNothing) {
  Create(Programs(2, true));
  Module->Programs()[0].Chunk()->WriteBuffer("keep", 4);
  int Loads = 0;
  Module->Programs()[0].OnLoadChunk = [&](TCustomVstProgram*, const int32_t, const bool) { ++Loads; };
  struct Case {
    std::vector<uint8_t> Data;
    intptr_t Value;
  } Cases[] = {
      {{3, 0, 0, 0, 'a', 'b'}, 6},                         // first count runs past the data
      {{1, 0, 0, 0, 'a', 0, 0}, 7},                        // no room for the second count
      {{1, 0, 0, 0, 'a', 0xFF, 0xFF, 0xFF, 0xFF, 1}, 10},  // huge second count
      {{0, 0, 0, 0, 0, 0, 0, 0}, 4},                       // Value shorter than the data
      {{0, 0, 0, 0, 0, 0, 0, 0}, -8},
  };
  for (const Case& c : Cases)
    EXPECT_EQ(Dispatch(Effect, effSetChunk, 0, c.Value, const_cast<uint8_t*>(c.Data.data())), 0);
  EXPECT_EQ(Loads, 0);
  ASSERT_EQ(Module->Programs()[0].Chunk()->Size(), 4);
  EXPECT_EQ(std::memcmp(Module->Programs()[0].Chunk()->Memory(), "keep", 4), 0);
  EXPECT_EQ(Dispatch(Effect, effSetChunk, 0, 8, nullptr), 0);
}

TEST_F(ProgramTest, ChunkModuleReadsValuesFromItsHandler) {
  Create(Programs(1, true));
  Module->OnGetChunkParameter = [](TBasicVSTModule*, int32_t Index) { return 0.1f * Index; };
  EXPECT_FLOAT_EQ(Module->GetParameter(2), 0.2f);
  char Buffer[32];
  Dispatch(Effect, effGetParamDisplay, 2, 0, Buffer);
  EXPECT_STREQ(Buffer, "0.2");
  Module->Log.clear();
  Effect->SetParameter(Effect, 0, 1.0f);
  EXPECT_EQ(Module->Log, (std::vector<std::string>{"Param 0 2"}));
  EXPECT_FLOAT_EQ(Module->GetParameter(0), 0.0f);  // stored nowhere: the handler answers
}
