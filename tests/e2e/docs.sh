# What the examples of the documents take for granted: the board's flash, for which /dev/mtd0
# in them stands (an image file mtd0 in the scratch directory). Sourced before the examples run.
mktinyfs mtd0 --device-id BX-000001 --mac 00:11:22:33:44:55 kernel=<(seq 1000) --room 0x10000
