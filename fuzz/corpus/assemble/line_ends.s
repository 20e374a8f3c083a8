nop
stopplay 1, 2, 3
	nop # tab
