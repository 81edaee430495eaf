<?php
// Strings of the gallery plugin, English. The plugin reads them from $GLOBALS because this file
// is included from inside a function.
$GLOBALS['i18n']['gallery_title'] = 'Photo gallery';
$GLOBALS['i18n']['gallery_upload'] = 'Upload photos';
$GLOBALS['i18n']['gallery_empty'] = 'No photos yet.';
$GLOBALS['i18n']['gallery_count'] = '%d photos';
$GLOBALS['gallery_charset'] = 'UTF-8';
