if exists('b:did_ftplugin')
  finish
endif
let b:did_ftplugin = 1
setlocal commentstring=#\ %s comments=:#
setlocal iskeyword=@,48-57,_,45
let b:undo_ftplugin = 'setlocal commentstring< comments< iskeyword<'
