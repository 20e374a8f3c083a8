" Vexa assembly: *.vexa files, and *.s files unless g:vexa_claim_s is 0 (the latter replaces
" the generic assembly file type that Neovim gives them).
autocmd BufNewFile,BufRead *.vexa setlocal filetype=vexa
autocmd BufNewFile,BufRead *.s if get(g:, 'vexa_claim_s', 1) | setlocal filetype=vexa | endif
