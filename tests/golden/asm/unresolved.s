# Every reference to a label that no line defines is one error; nothing is encoded.
        jmp     @nowhere            # error 17: Unresolved address label: nowhere.
        loop    R1, @nowhere        # error 21: Unresolved address label: nowhere.
        stop
