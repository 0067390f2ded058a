// The record of game code's messages in its wire form (exact bytes, round trips, the 32000-byte
// cut) and the protocol frames around it; a table of malformed packets that must be refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "multiplayer/MessageQueue.h"
#include "multiplayer/Wire.h"
#include "support/Values.h"

namespace kestro {
namespace {

using namespace mplay;
using test::R;
using test::S;
using test::Show;
using Bytes = std::vector<uint8_t>;

TEST(MultiplayerWire, RecordLayoutIsLittleEndian) {
  EXPECT_EQ(EncodeRecord(TMess{0, true, 0x01020304, R(1.0)}), (Bytes{1, 4, 3, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0xf0, 0x3f}));
  EXPECT_EQ(EncodeRecord(TMess{0, false, -2, S("hé")}),
            (Bytes{0, 0xfe, 0xff, 0xff, 0xff, 1, 3, 0, 0, 0, 'h', 0xc3, 0xa9}));
}

TEST(MultiplayerWire, RecordsRoundTrip) {
  const TMess cases[] = {
      {0, true, 0, R(0)},           {0, false, 1000000, R(-1.5)},        {0, true, -7, R(1e300)},
      {0, true, 2147483647, S("")}, {0, false, 3, S("text with\0zero")}, {0, true, 4, S(std::string(32000, 'q'))},
  };
  for (const TMess& m : cases) {
    TMess back;
    back.player = 42;
    ASSERT_TRUE(DecodeRecord(EncodeRecord(m), back)) << Show(m.val);
    EXPECT_EQ(back.player, 42u) << "the sender comes from the transport";
    EXPECT_EQ(back.ismessage, m.ismessage);
    EXPECT_EQ(back.messid, m.messid);
    EXPECT_EQ(Show(back.val), Show(m.val));
  }
  TMess nan;
  ASSERT_TRUE(DecodeRecord(EncodeRecord(TMess{0, true, 1, R(std::nan(""))}), nan));
  EXPECT_TRUE(std::isnan(nan.val.val));
  // Longer strings are cut to their first 32000 bytes.
  TMess cut;
  ASSERT_TRUE(DecodeRecord(EncodeRecord(TMess{0, true, 1, S(std::string(40000, 'z'))}), cut));
  EXPECT_EQ(cut.val.str.size(), 32000u);
}

TEST(MultiplayerWire, FramesRoundTrip) {
  RFrame join;
  join.kind = EFrame::kJoin;
  join.app[0] = 9;
  join.session[15] = 8;
  join.listenPort = 2300;
  join.rejoinId = 5;
  join.name = "bob";
  RFrame welcome;
  welcome.kind = EFrame::kWelcome;
  welcome.yourId = 2;
  welcome.hostId = 1;
  welcome.migrate = true;
  welcome.players = {{1, "alice", "", 40000}, {2, "bob", "10.0.0.2", 40001}};
  RFrame data;
  data.kind = EFrame::kData;
  data.guaranteed = true;
  data.from = 3;
  data.to = 0;
  data.record = EncodeRecord(TMess{0, true, 5, S("hi")});
  RFrame refuse;
  refuse.kind = EFrame::kRefuse;
  refuse.refusal = ERefusal::kFull;
  RFrame leave;
  leave.kind = EFrame::kLeave;
  leave.migrate = true;
  for (const RFrame& f : {join, welcome, data, refuse, leave}) {
    const Bytes bytes = EncodeFrame(f);
    RFrame back;
    ASSERT_TRUE(DecodeFrame(bytes, back)) << int(f.kind);
    EXPECT_EQ(EncodeFrame(back), bytes) << int(f.kind);
  }
  RFrame back;
  ASSERT_TRUE(DecodeFrame(EncodeFrame(welcome), back));
  ASSERT_EQ(back.players.size(), 2u);
  EXPECT_EQ(back.players[1].host, "10.0.0.2");
  EXPECT_EQ(back.players[1].port, 40001);

  RAnnouncement a{join.app, join.session, "room", 2300, 3, 4};
  RAnnouncement got;
  ASSERT_TRUE(DecodeAnnouncement(EncodeAnnouncement(a), got));
  EXPECT_EQ(got.name, "room");
  EXPECT_EQ(got.session, a.session);
  EXPECT_EQ(got.port, 2300);
}

Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(MultiplayerWire, MalformedPacketsAreRefused) {
  const Bytes record = EncodeRecord(TMess{0, true, 1, S("abc")});
  const Bytes dataHead = {5, 1, 1, 0, 0, 0, 0, 0, 0, 0};  // data, guaranteed, from 1, to 0
  const Bytes player = Cat({Le32(7), Le32(1), {'x'}, Le32(0), {0, 0}});
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const std::vector<Case> cases = {
      {"nothing", {}},
      {"unknown frame", {99}},
      {"data without a record", dataHead},
      {"record cut short", Cat({dataHead, Bytes(record.begin(), record.end() - 1)})},
      {"record with a byte left over", Cat({dataHead, record, {0}})},
      {"string count beyond the data", Cat({dataHead, {1, 1, 0, 0, 0, 1}, Le32(100), {'a'}})},
      {"string count over 32000", Cat({dataHead, {1, 1, 0, 0, 0, 1}, Le32(32001), Bytes(32001, 'a')})},
      {"string count near 4 GiB", Cat({dataHead, {1, 1, 0, 0, 0, 1}, Le32(0xffffffff)})},
      {"value kind 2", Cat({dataHead, {1, 1, 0, 0, 0, 2}, Bytes(8, 0)})},
      {"message flag 2", Cat({dataHead, {2, 1, 0, 0, 0, 0}, Bytes(8, 0)})},
      {"real cut short", Cat({dataHead, {1, 1, 0, 0, 0, 0}, Bytes(7, 0)})},
      {"guaranteed flag 7", Cat({{5, 7}, Bytes(8, 0), record})},
      {"oversized frame", Cat({dataHead, Bytes(kReceiveBuffer, 0)})},
      {"join cut in its guid", {1, 0, 0, 0}},
      {"join name over 256 bytes", Cat({{1}, Bytes(32, 0), {0, 0}, Le32(0), Le32(257), Bytes(257, 'n')})},
      {"welcome to id 0", Cat({{2}, Le32(0), Le32(1), {0}, Le32(1), player})},
      {"player count over 256", Cat({{4}, Le32(1), {0}, Le32(257)})},
      {"player count beyond the data", Cat({{4}, Le32(1), {0}, Le32(3), player})},
      {"player id 0", Cat({{4}, Le32(1), {0}, Le32(1), Le32(0), Le32(1), {'x'}, Le32(0), {0, 0}})},
      {"host name over 64 bytes",
       Cat({{4}, Le32(1), {0}, Le32(1), Le32(7), Le32(0), Le32(65), Bytes(65, 'h'), {0, 0}})},
      {"refusal 9", {3, 9}},
      {"leave with a byte left over", {6, 1, 0}},
  };
  for (const Case& c : cases) {
    RFrame f;
    EXPECT_FALSE(DecodeFrame(c.bytes, f)) << c.what;
  }
  // Records alone, and announcements.
  TMess m;
  EXPECT_FALSE(DecodeRecord(Bytes{}, m));
  EXPECT_FALSE(DecodeRecord(Bytes(kMaxRecordBytes + 1, 0), m));
  RAnnouncement a;
  EXPECT_FALSE(DecodeAnnouncement(Bytes{'K', 'M', 'P'}, a));
  EXPECT_FALSE(DecodeAnnouncement(Cat({{'K', 'M', 'P', 'S'}, Bytes(32, 0), {0, 0}, Le32(0), Le32(0), Le32(0)}), a))
      << "port 0";
  EXPECT_FALSE(DecodeAnnouncement(Cat({{'X', 'M', 'P', 'S'}, Bytes(32, 0), {1, 0}, Le32(0), Le32(0), Le32(0)}), a));
}

TEST(MultiplayerQueue, AFullQueueDropsTakenMessagesFirstThenNewOnes) {
  CMessageQueue q;
  for (int i = 0; i < 4000; ++i) ASSERT_TRUE(q.Add(TMess{uint32_t(1 + i % 2), true, i, R(i)}));
  EXPECT_FALSE(q.Add(TMess{1, true, -1, R(0)})) << "full, nothing taken";
  EXPECT_EQ(q.Dropped(), 1u);
  TMess m;
  ASSERT_TRUE(q.Take(2, m));  // the first from player 2: message 1
  EXPECT_EQ(m.messid, 1);
  ASSERT_TRUE(q.Take(0, m));
  EXPECT_EQ(m.messid, 0);
  // Room is made by removing the two taken ones; the others keep their order.
  EXPECT_TRUE(q.Add(TMess{1, true, 4000, R(0)}));
  EXPECT_EQ(q.Size(), 3999u);
  ASSERT_TRUE(q.Take(0, m));
  EXPECT_EQ(m.messid, 2);
  EXPECT_EQ(q.Count(1), 1999u);
  EXPECT_EQ(q.Count(2), 1999u);
}

}  // namespace
}  // namespace kestro
