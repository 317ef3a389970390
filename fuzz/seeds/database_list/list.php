Name	Long Name	Version	Size
snes	Nintendo SNES	20240101	1200
SNES	Duplicate SNES	1	2
../evil	Escape	1	1
md	Mega Drive	20231224
nes	NES	5	3	extra

