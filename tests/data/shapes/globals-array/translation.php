<?php
// Chaînes du module galerie, français.
$GLOBALS['i18n']['gallery_title'] = 'Galerie de photos';
$GLOBALS['i18n']['gallery_upload'] = 'Envoyer des photos';
$GLOBALS['i18n']['gallery_empty'] = 'Pas encore de photos.';
$GLOBALS['i18n']['gallery_count'] = '%d photos';
$GLOBALS['gallery_charset'] = 'UTF-8';
