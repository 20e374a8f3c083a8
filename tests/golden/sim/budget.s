# A jump to itself runs into the budget: one instruction more than the budget is executed,
# each taking a tick and the three of a taken jump.
self:   jmp     @self
#! simulate 10
#! outcome: Maximum number of instructions reached (10). Could the program be running an infinite loop?
#! counts: 11 instructions, 44 classical, 0 real-time
