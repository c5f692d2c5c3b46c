# What the examples of README.md, CONTRIBUTING.md and the manual pages take for granted: the board's flash
# (/dev/mtd0 in them stands for the image mtd0 here), the files they copy in, the values
# a factory passes. Sourced before the examples run.
seq 1000 >zImage; mkdir -p build && seq 900 >build/kernel.bin; printf '%025d\n' 0 >cfg.txt
printf 'console=ttyS0,115200\n' >board.cfg; printf 'boot\n' >loader.bin; printf 'bootdelay=1\n' >env.txt
MAC=02:00:5e:10:00:01 SERIAL=BX-000123
mktinyfs mtd0 --device-id BX-000001 --mac 00:11:22:33:44:55 kernel=zImage --room 0x10000
