<?php
defined('BASEPATH') OR exit('No direct script access allowed');

// Account pages, English.
$lang['account_title'] = 'Mon compte';
$lang["account_email"] = "Adresse électronique";
$lang['account_password'] = 'Mot de passe';
$lang['account_help'] = 'Mot de passe oublié ? ';
$lang['account_help'] .= 'Nous vous en enverrons un nouveau.';
$lang['js']['confirm_delete'] = 'Supprimer vraiment votre compte ?';
$lang['js']['saved'] = 'Enregistré.';
$lang['Don\'t have an account?'] = 'Pas encore de compte ?';
$lang['path\\sep'] = 'Les dossiers sont séparés par \\';
$lang['account_rows'] = '%d lignes';
$lang['account_civility'] = 'Civilité';
$lang['js']['civility_required'] = 'Choisissez une civilité.';
