#include <gtest/gtest.h>

#include "devices/serial_number.h"
#include "tests/support/temp_root.h"

TEST(SerialNumber, CpuinfoLineAndDeviceTreeNode) {
  const struct {
    QByteArray cpuinfo;
    const char* serial;
  } lines[] = {
      {"processor\t: 0\nSerial\t\t: 5a1c0de5e7a1b00c\n", "5a1c0de5e7a1b00c"},
      {"  Serial : 00ff  \r\n", "00ff"},
      {"Serial\t\t:\nSerial\t: second\n", "second"},  // an empty value is passed over
      {QByteArray("Serial\t: ab12\0junk\n", 19), "ab12"},
      {"serial\t: lower\nSerialNo 12\n", ""},  // case matters; a colon is needed
      {"", ""},
  };
  for (const auto& l : lines)
    EXPECT_EQ(serial_number::fromCpuinfo(l.cpuinfo), QString::fromLatin1(l.serial))
        << l.cpuinfo.toStdString();
  EXPECT_EQ(serial_number::fromDeviceTree(QByteArray("c3d4e5f6a7b8\0", 13)),
            QStringLiteral("c3d4e5f6a7b8"));
  EXPECT_EQ(serial_number::fromDeviceTree(" 1234 \n"), QStringLiteral("1234"));
  EXPECT_EQ(serial_number::fromDeviceTree("ab12\r\nHardware\t: x"), QStringLiteral("ab12"));
}

TEST(SerialNumber, ReadsCpuinfoFirstThenTheDeviceTree) {
  TempRoot root;
  EXPECT_EQ(serial_number::read(), QString());  // neither file
  root.write(serial_number::kDeviceTreePath, QByteArray("dt0123456789\0", 13));
  EXPECT_EQ(serial_number::read(), QStringLiteral("dt0123456789"));
  root.write(serial_number::kCpuinfoPath, "processor\t: 0\nHardware\t: Rockchip\n");
  EXPECT_EQ(serial_number::read(), QStringLiteral("dt0123456789"));
  root.write(serial_number::kCpuinfoPath, "processor\t: 0\nSerial\t\t: 5a1c0de5e7a1b00c\n");
  EXPECT_EQ(serial_number::read(), QStringLiteral("5a1c0de5e7a1b00c"));
}
