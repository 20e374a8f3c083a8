# Every instruction variant with each operand at its smallest, then at its largest value,
# and the word it encodes to: opcode in bits 63..59, select in bit 58, operands below.

        illegal                                     # => 0000000000000000
        stop                                        # => 0800000000000000
        nop                                         # => 1000000000000000
        jmp             0                           # => 1c00000000000000
        jmp             R0                          # => 1800000000000000
        jge             R0, 0, 0                    # => 2400000000000000
        jge             R0, 0, R0                   # => 2000000000000000
        jlt             R0, 0, 0                    # => 2c00000000000000
        jlt             R0, 0, R0                   # => 2800000000000000
        loop            R0, 0                       # => 3400000000000000
        loop            R0, R0                      # => 3000000000000000
        move            0, R0                       # => 3c00000000000000
        move            R0, R0                      # => 3800000000000000
        not             0, R0                       # => 5400000000000000
        not             R0, R0                      # => 5000000000000000
        add             R0, 0, R0                   # => 4400000000000000
        add             R0, R0, R0                  # => 4000000000000000
        sub             R0, 0, R0                   # => 4c00000000000000
        sub             R0, R0, R0                  # => 4800000000000000
        and             R0, 0, R0                   # => 5c00000000000000
        and             R0, R0, R0                  # => 5800000000000000
        or              R0, 0, R0                   # => 6400000000000000
        or              R0, R0, R0                  # => 6000000000000000
        xor             R0, 0, R0                   # => 6c00000000000000
        xor             R0, R0, R0                  # => 6800000000000000
        asl             R0, 0, R0                   # => 7400000000000000
        asl             R0, R0, R0                  # => 7000000000000000
        asr             R0, 0, R0                   # => 7c00000000000000
        asr             R0, R0, R0                  # => 7800000000000000
        sw_req          0                           # => 8400000000000000
        sw_req          R0                          # => 8000000000000000
        set_mrk         0                           # => 8c00000000000000
        set_mrk         R0                          # => 8800000000000000
        reset_ph                                    # => 9000000000000000
        set_ph          0, 0, 0                     # => 9c00000000000000
        set_ph          R0, R0, R0                  # => 9800000000000000
        set_ph_delta    0, 0, 0                     # => a400000000000000
        set_ph_delta    R0, R0, R0                  # => a000000000000000
        set_awg_gain    -32768, -32768              # => ac00000080008000
        set_awg_gain    R0, R0                      # => a800000000000000
        set_awg_offs    -32768, -32768              # => b400000080008000
        set_awg_offs    R0, R0                      # => b000000000000000
        upd_param       4                           # => bc00100000000000
        play            0, 0, 4                     # => c400100000000000
        play            R0, R0, 4                   # => c000100000000000
        acquire_weighed 0, 0, 0, 0, 4               # => d400100000000000
        acquire_weighed 0, R0, R0, R0, 4            # => d000100000000000
        acquire         0, 0, 4                     # => cc00100000000000
        acquire         0, R0, 4                    # => c800100000000000
        wait            4                           # => dc00100000000000
        wait            R0                          # => d800000000000000
        wait_trigger    4                           # => e400100000000000
        wait_trigger    R0                          # => e000000000000000
        wait_sync       4                           # => ec00100000000000
        wait_sync       R0                          # => e800000000000000

        illegal                                     # => 0000000000000000
        stop                                        # => 0800000000000000
        nop                                         # => 1000000000000000
        jmp             4095                        # => 1c03ffc000000000
        jmp             R63                         # => 18000fc000000000
        jge             R63, 0xffffffff, 4095       # => 2403ffffffffffff
        jge             R63, 0xffffffff, R63        # => 20000fffffffffff
        jlt             R63, 0xffffffff, 4095       # => 2c03ffffffffffff
        jlt             R63, 0xffffffff, R63        # => 28000fffffffffff
        loop            R63, 4095                   # => 3403ffff00000000
        loop            R63, R63                    # => 30000fff00000000
        move            0xffffffff, R63             # => 3c000fc0ffffffff
        move            R63, R63                    # => 38000fc00000003f
        not             0xffffffff, R63             # => 54000fc0ffffffff
        not             R63, R63                    # => 50000fc00000003f
        add             R63, 0xffffffff, R63        # => 44000fffffffffff
        add             R63, R63, R63               # => 40000fff0000003f
        sub             R63, 0xffffffff, R63        # => 4c000fffffffffff
        sub             R63, R63, R63               # => 48000fff0000003f
        and             R63, 0xffffffff, R63        # => 5c000fffffffffff
        and             R63, R63, R63               # => 58000fff0000003f
        or              R63, 0xffffffff, R63        # => 64000fffffffffff
        or              R63, R63, R63               # => 60000fff0000003f
        xor             R63, 0xffffffff, R63        # => 6c000fffffffffff
        xor             R63, R63, R63               # => 68000fff0000003f
        asl             R63, 0xffffffff, R63        # => 74000fffffffffff
        asl             R63, R63, R63               # => 70000fff0000003f
        asr             R63, 0xffffffff, R63        # => 7c000fffffffffff
        asr             R63, R63, R63               # => 78000fff0000003f
        sw_req          0xffffffff                  # => 84000000ffffffff
        sw_req          R63                         # => 800000000000003f
        set_mrk         15                          # => 8c0000000000000f
        set_mrk         R63                         # => 880000000000003f
        reset_ph                                    # => 9000000000000000
        set_ph          511, 511, 8191              # => 9c0000007fffffff
        set_ph          R63, R63, R63               # => 98000fff0000003f
        set_ph_delta    511, 511, 8191              # => a40000007fffffff
        set_ph_delta    R63, R63, R63               # => a0000fff0000003f
        set_awg_gain    32767, 32767                # => ac0000007fff7fff
        set_awg_gain    R63, R63                    # => a800003f0000003f
        set_awg_offs    32767, 32767                # => b40000007fff7fff
        set_awg_offs    R63, R63                    # => b000003f0000003f
        upd_param       65535                       # => bffffc0000000000
        play            1023, 1023, 65535           # => c7fffc00000fffff
        play            R63, R63, 65535             # => c3fffc3f0000003f
        acquire_weighed 63, 0xffffff, 63, 63, 65535 # => d7ffffffffffffff
        acquire_weighed 63, R63, R63, R63, 65535    # => d3fffc3f0003ffff
        acquire         63, 0xffffff, 65535         # => cffffffffffff000
        acquire         63, R63, 65535              # => cbfffc000003f03f
        wait            65535                       # => dffffc0000000000
        wait            R63                         # => d80000000000003f
        wait_trigger    65535                       # => e7fffc0000000000
        wait_trigger    R63                         # => e00000000000003f
        wait_sync       65535                       # => effffc0000000000
        wait_sync       R63                         # => e80000000000003f

# Each immediate operand kind just beyond either bound: every such line is one error,
# naming the instruction, the operand's position and kind, the value and both bounds.

        jmp             -1              # error 24: Syntax error: Instruction jmp argument 1 (ins_adr_imm) value: -1 out of range (0,4095)
        jmp             4096            # error 24: Syntax error: Instruction jmp argument 1 (ins_adr_imm) value: 4096 out of range (0,4095)
        jge             R0, -1, 0       # error 28: Syntax error: Instruction jge argument 2 (alu_rgt_imm) value: -1 out of range (0,4294967295)
        jge             R0, 4294967296, 0 # error 28: Syntax error: Instruction jge argument 2 (alu_rgt_imm) value: 4294967296 out of range (0,4294967295)
        move            -1, R0          # error 24: Syntax error: Instruction move argument 1 (alu_src_imm) value: -1 out of range (0,4294967295)
        move            4294967296, R0  # error 24: Syntax error: Instruction move argument 1 (alu_src_imm) value: 4294967296 out of range (0,4294967295)
        sw_req          -1              # error 24: Syntax error: Instruction sw_req argument 1 (srq_imm) value: -1 out of range (0,4294967295)
        sw_req          4294967296      # error 24: Syntax error: Instruction sw_req argument 1 (srq_imm) value: 4294967296 out of range (0,4294967295)
        set_mrk         -1              # error 24: Syntax error: Instruction set_mrk argument 1 (seq_mrk_imm) value: -1 out of range (0,15)
        set_mrk         16              # error 24: Syntax error: Instruction set_mrk argument 1 (seq_mrk_imm) value: 16 out of range (0,15)
        set_ph          -1, 0, 0        # error 24: Syntax error: Instruction set_ph argument 1 (seq_ph_coarse_imm) value: -1 out of range (0,511)
        set_ph          512, 0, 0       # error 24: Syntax error: Instruction set_ph argument 1 (seq_ph_coarse_imm) value: 512 out of range (0,511)
        set_ph          0, -1, 0        # error 27: Syntax error: Instruction set_ph argument 2 (seq_ph_fine_imm) value: -1 out of range (0,511)
        set_ph          0, 512, 0       # error 27: Syntax error: Instruction set_ph argument 2 (seq_ph_fine_imm) value: 512 out of range (0,511)
        set_ph          0, 0, -1        # error 30: Syntax error: Instruction set_ph argument 3 (seq_ph_ufine_imm) value: -1 out of range (0,8191)
        set_ph          0, 0, 8192      # error 30: Syntax error: Instruction set_ph argument 3 (seq_ph_ufine_imm) value: 8192 out of range (0,8191)
        set_awg_gain    -32769, -32768  # error 24: Syntax error: Instruction set_awg_gain argument 1 (seq_gain0_imm) value: -32769 out of range (-32768,32767)
        set_awg_gain    32768, -32768   # error 24: Syntax error: Instruction set_awg_gain argument 1 (seq_gain0_imm) value: 32768 out of range (-32768,32767)
        set_awg_gain    -32768, -32769  # error 32: Syntax error: Instruction set_awg_gain argument 2 (seq_gain1_imm) value: -32769 out of range (-32768,32767)
        set_awg_gain    -32768, 32768   # error 25: Syntax error: Instruction set_awg_gain argument 2 (seq_gain1_imm) value: 32768 out of range (-32768,32767)
        set_awg_offs    -32769, -32768  # error 24: Syntax error: Instruction set_awg_offs argument 1 (seq_offs0_imm) value: -32769 out of range (-32768,32767)
        set_awg_offs    32768, -32768   # error 24: Syntax error: Instruction set_awg_offs argument 1 (seq_offs0_imm) value: 32768 out of range (-32768,32767)
        set_awg_offs    -32768, -32769  # error 32: Syntax error: Instruction set_awg_offs argument 2 (seq_offs1_imm) value: -32769 out of range (-32768,32767)
        set_awg_offs    -32768, 32768   # error 25: Syntax error: Instruction set_awg_offs argument 2 (seq_offs1_imm) value: 32768 out of range (-32768,32767)
        upd_param       3               # error 24: Syntax error: Instruction upd_param argument 1 (seq_cnt_imm) value: 3 out of range (4,65535)
        upd_param       65536           # error 24: Syntax error: Instruction upd_param argument 1 (seq_cnt_imm) value: 65536 out of range (4,65535)
        play            -1, 0, 4        # error 24: Syntax error: Instruction play argument 1 (seq_wave_idx0_imm) value: -1 out of range (0,1023)
        play            1024, 0, 4      # error 24: Syntax error: Instruction play argument 1 (seq_wave_idx0_imm) value: 1024 out of range (0,1023)
        play            0, -1, 4        # error 27: Syntax error: Instruction play argument 2 (seq_wave_idx1_imm) value: -1 out of range (0,1023)
        play            0, 1024, 4      # error 27: Syntax error: Instruction play argument 2 (seq_wave_idx1_imm) value: 1024 out of range (0,1023)
        acquire_weighed -1, 0, 0, 0, 4  # error 24: Syntax error: Instruction acquire_weighed argument 1 (seq_acq_idx_imm) value: -1 out of range (0,63)
        acquire_weighed 64, 0, 0, 0, 4  # error 24: Syntax error: Instruction acquire_weighed argument 1 (seq_acq_idx_imm) value: 64 out of range (0,63)
        acquire_weighed 0, -1, 0, 0, 4  # error 27: Syntax error: Instruction acquire_weighed argument 2 (seq_bin_idx_imm) value: -1 out of range (0,16777215)
        acquire_weighed 0, 16777216, 0, 0, 4 # error 27: Syntax error: Instruction acquire_weighed argument 2 (seq_bin_idx_imm) value: 16777216 out of range (0,16777215)
        acquire_weighed 0, 0, -1, 0, 4  # error 30: Syntax error: Instruction acquire_weighed argument 3 (seq_weight_idx0_imm) value: -1 out of range (0,63)
        acquire_weighed 0, 0, 64, 0, 4  # error 30: Syntax error: Instruction acquire_weighed argument 3 (seq_weight_idx0_imm) value: 64 out of range (0,63)
        acquire_weighed 0, 0, 0, -1, 4  # error 33: Syntax error: Instruction acquire_weighed argument 4 (seq_weight_idx1_imm) value: -1 out of range (0,63)
        acquire_weighed 0, 0, 0, 64, 4  # error 33: Syntax error: Instruction acquire_weighed argument 4 (seq_weight_idx1_imm) value: 64 out of range (0,63)
        move            5, R64          # error 27: Syntax error: Instruction move argument 2 (alu_dst_reg) value: 64 out of range (0,63)
